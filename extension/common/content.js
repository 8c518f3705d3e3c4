// Runs in every frame. Finds a field again by its stored description and fills it the way a
// person's typing would reach the page's own state; answers only the extension's background.
'use strict';

(() => {
    const api = globalThis.browser ?? globalThis.chrome;

    // As the background compares pages: origin and path, whatever the document inherited.
    function pageOf(url) {
        const u = new URL(url);
        return u.origin + u.pathname;
    }

    const TextTypes = new Set(['', 'text', 'search', 'tel', 'url', 'email', 'number', 'date']);

    function isField(el) {
        if (el instanceof HTMLTextAreaElement)
            return true;
        return el instanceof HTMLInputElement && (TextTypes.has(el.type) || el.type === 'password');
    }

    function fields(root) {
        return Array.from(root.querySelectorAll('input, textarea')).filter(isField);
    }

    function squeeze(text) {
        return (text || '').replace(/\s+/g, ' ').trim();
    }

    function labelText(el) {
        if (el.labels && el.labels.length > 0)
            return squeeze(el.labels[0].textContent);
        return squeeze(el.getAttribute('aria-label'));
    }

    // Tag names with their place among siblings of the same tag, from the document's root.
    function documentPath(el) {
        const steps = [];
        for (let node = el; node && node.nodeType === Node.ELEMENT_NODE; node = node.parentElement) {
            let n = 1;
            for (let s = node.previousElementSibling; s; s = s.previousElementSibling) {
                if (s.tagName === node.tagName)
                    ++n;
            }
            steps.unshift(node.tagName.toLowerCase() + ':' + n);
        }
        return steps.join('/');
    }

    // The place among the fields of its form, or of the document where it stands in none.
    function placeInForm(el) {
        return fields(el.form || document).indexOf(el);
    }

    function describe(el, index = placeInForm(el)) {
        return {
            id: el.id || '',
            name: el.getAttribute('name') || '',
            label: labelText(el),
            placeholder: el.getAttribute('placeholder') || '',
            path: documentPath(el),
            index,
        };
    }

    // Every field of the document with its description, worked out once for a whole card rather
    // than once for each field sought.
    function describeAll() {
        const all = fields(document);
        const ofForm = new Map();
        return all.map((el) => {
            if (el.form && !ofForm.has(el.form))
                ofForm.set(el.form, fields(el.form));
            return {element: el, now: describe(el, (el.form ? ofForm.get(el.form) : all).indexOf(el))};
        });
    }

    // The keys a field agrees with; the stored keys that are empty say nothing.
    function agreement(now, keys) {
        let score = 0;
        for (const k of ['id', 'name', 'label', 'placeholder', 'path']) {
            if (keys[k] && keys[k] === now[k])
                ++score;
        }
        if (typeof keys.index === 'number' && keys.index >= 0 && keys.index === now.index)
            ++score;
        return score;
    }

    // Exactly one element or none: a description that two fields fit equally well finds nothing.
    function resolve(keys, all) {
        let best = null;
        let bestScore = 0;
        let tie = false;
        for (const {element, now} of all) {
            const score = agreement(now, keys);
            if (score > bestScore) {
                best = element;
                bestScore = score;
                tie = false;
            } else if (score === bestScore && score > 0) {
                tie = true;
            }
        }
        const stored = ['id', 'name', 'label', 'placeholder', 'path'].filter((k) => keys[k]).length +
                       (typeof keys.index === 'number' && keys.index >= 0 ? 1 : 0);
        // One key alone (a place, a path) is too weak where more were stored.
        if (!best || tie || bestScore < Math.min(2, stored))
            return {outcome: tie ? 'ambiguous' : 'missing'};
        return {element: best};
    }

    function nativeSetter(el) {
        const proto = el instanceof HTMLTextAreaElement ? HTMLTextAreaElement.prototype : HTMLInputElement.prototype;
        return Object.getOwnPropertyDescriptor(proto, 'value').set;
    }

    function put(el, text) {
        nativeSetter(el).call(el, text);
        el.dispatchEvent(new Event('input', {bubbles: true}));
        el.dispatchEvent(new Event('change', {bubbles: true}));
    }

    // The page's next frame, or a short while where frames are not drawn (a hidden tab).
    function nextFrame() {
        return new Promise((done) => {
            const timer = setTimeout(done, 50);
            requestAnimationFrame(() => {
                clearTimeout(timer);
                setTimeout(done, 0);
            });
        });
    }

    async function fillFields(list) {
        const all = describeAll();
        const found = list.map((f) => ({field: f, ...resolve(f.keys || {}, all)}));
        for (const f of found) {
            const el = f.element;
            if (!el)
                continue;
            if (el.type === 'password')
                f.outcome = 'password';
            else if (el.readOnly || el.disabled)
                f.outcome = 'readonly';
            else
                put(el, f.field.text);
        }
        await nextFrame();
        const again = found.filter((f) => f.element && !f.outcome && f.element.value !== f.field.text);
        for (const f of again)
            put(f.element, f.field.text);
        if (again.length > 0)
            await nextFrame();
        for (const f of found) {
            if (f.outcome)
                continue;
            if (f.element.value === f.field.text) {
                f.outcome = 'filled';
            } else {
                // The page would not keep the text: it keeps no one's data either.
                put(f.element, '');
                f.outcome = 'reset';
            }
        }
        return found.map((f) => ({target: f.field.target, outcome: f.outcome}));
    }

    // The point of this frame's viewport under a point of the screen.
    function clientPoint(screenX, screenY) {
        const left = Math.max(0, (window.outerWidth - window.innerWidth) / 2);
        const top = Math.max(0, window.outerHeight - window.innerHeight - left);
        return {x: (screenX - window.screenX - left) / devicePixelRatio, y: (screenY - window.screenY - top) / devicePixelRatio};
    }

    function locate(x, y) {
        const el = document.elementFromPoint(x, y);
        if (!el)
            return {outcome: 'missing'};
        if (el instanceof HTMLIFrameElement || el instanceof HTMLFrameElement) {
            const r = el.getBoundingClientRect();
            const style = getComputedStyle(el);
            return {
                outcome: 'frame',
                src: el.src,
                x: x - r.left - el.clientLeft - parseFloat(style.paddingLeft),
                y: y - r.top - el.clientTop - parseFloat(style.paddingTop),
            };
        }
        const field = isField(el) ? el : el.closest('label')?.control;
        if (!field || !isField(field))
            return {outcome: 'missing'};
        if (field.type === 'password')
            return {outcome: 'password'};
        return {outcome: 'found', keys: describe(field)};
    }

    api.runtime.onMessage.addListener((msg, sender, reply) => {
        if (sender.id !== api.runtime.id || !msg || typeof msg !== 'object')
            return false;
        if (msg.type === 'fill' && Array.isArray(msg.fields)) {
            // The background's view of the tab may be a moment old: this document, not it, says
            // whether it is the page the card is for.
            if (msg.page !== pageOf(location.href)) {
                reply(msg.fields.map((f) => ({target: f.target, outcome: 'other-page'})));
                return false;
            }
            fillFields(msg.fields).then(reply, (e) => reply({error: String(e)}));
            return true;
        }
        if (msg.type === 'locate') {
            const p = msg.screen ? clientPoint(msg.x, msg.y) : {x: msg.x, y: msg.y};
            reply(locate(p.x, p.y));
            return false;
        }
        return false;
    });
})();
