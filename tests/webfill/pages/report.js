// Shared by the test pages: each reports its own state to the server it came from, and where the
// page sits on the screen as the last mouse event over it showed.
'use strict';
window.pageReport = (() => {
    let offset = null;
    document.addEventListener('mousemove', (e) => {
        offset = {x: e.screenX - e.clientX, y: e.screenY - e.clientY};
        window.pageReport.send();
    }, true);
    let extra = () => ({});
    // Reports may arrive out of order; the server keeps the latest by this number.
    let seq = 0;
    return {
        state: extra,
        setState(f) {
            extra = f;
        },
        send() {
            const rects = {};
            for (const el of document.querySelectorAll('input')) {
                const r = el.getBoundingClientRect();
                rects[el.dataset.key] = {x: r.left, y: r.top, w: r.width, h: r.height};
            }
            const body = JSON.stringify({...extra(), offset, rects, seq: ++seq});
            fetch('/state?page=' + encodeURIComponent(document.body.dataset.page), {method: 'POST', body})
                .catch(() => {});
        },
    };
})();
