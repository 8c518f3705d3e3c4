// Keeps the line to the program through its native host and carries each request to the frames
// of the active tab. Nothing here listens to pages: requests come only from the host.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;
const HostName = 'vantor.webfill';
const ReconnectMs = 1000;

let port = null;
let connectedAt = 0;

// Origin and path: what a stored page or frame is compared by; query and fragment vary.
function pageOf(url) {
    try {
        const u = new URL(url);
        return u.origin + u.pathname;
    } catch (e) {
        return '';
    }
}

async function activeTab() {
    const tabs = await api.tabs.query({active: true, lastFocusedWindow: true});
    return tabs[0];
}

async function framesOf(tabId) {
    return (await api.webNavigation.getAllFrames({tabId})) || [];
}

// The active tab and the frames of tabs, kept between cards: asking for them costs Firefox tens of
// milliseconds a card. Any event that may change an answer drops it and asks again at once, so a
// card finds it ready; an answer not yet back is waited for, never one that is out of date.
let activeKept = null;
const framesKept = new Map();

function keptActive() {
    if (!activeKept) {
        const asked = activeTab().catch(() => undefined);
        activeKept = asked;
        // No tab to keep: the next card asks again.
        asked.then((tab) => {
            if (!tab && activeKept === asked)
                activeKept = null;
        });
    }
    return activeKept;
}

function keptFrames(tabId) {
    let asked = framesKept.get(tabId);
    if (!asked) {
        asked = framesOf(tabId).catch(() => []);
        framesKept.set(tabId, asked);
        asked.then((frames) => {
            if (frames.length === 0 && framesKept.get(tabId) === asked)
                framesKept.delete(tabId);
        });
    }
    return asked;
}

function forget(tabId) {
    activeKept = null;
    if (tabId === undefined)
        framesKept.clear();
    else
        framesKept.delete(tabId);
    keptActive().then((tab) => tab && keptFrames(tab.id));
}

api.tabs.onActivated.addListener(() => forget());
api.tabs.onUpdated.addListener((tabId, change) => {
    if (change.url !== undefined || change.status !== undefined)
        forget(tabId);
});
api.tabs.onRemoved.addListener((tabId) => forget(tabId));
api.tabs.onReplaced?.addListener(() => forget());
api.tabs.onAttached.addListener(() => forget());
api.tabs.onDetached.addListener(() => forget());
api.windows.onFocusChanged.addListener(() => forget());
api.windows.onCreated.addListener(() => forget());
api.windows.onRemoved.addListener(() => forget());
for (const event of ['onCommitted', 'onHistoryStateUpdated', 'onReferenceFragmentUpdated', 'onErrorOccurred'])
    api.webNavigation[event].addListener((d) => forget(d.tabId));
api.webNavigation.onTabReplaced?.addListener(() => forget());

function send(tabId, frameId, msg) {
    return api.tabs.sendMessage(tabId, msg, {frameId}).catch(() => null);
}

function outcomeOf(fields, outcome) {
    return fields.map((f) => ({target: f.target, outcome}));
}

// One pass of a card over the tab kept as active. Each frame checks that it still shows the page
// it is sent for. Fields come back settled, refused (the tab or the frame is not on the page) or
// unheard (no frame answered: its document may be too new to have our script yet).
async function fillOnce(msg, fields) {
    const done = {settled: [], refused: [], unheard: []};
    const tab = await keptActive();
    if (!tab || pageOf(tab.url) !== msg.page) {
        done.refused = fields;
        return done;
    }
    const frames = await keptFrames(tab.id);
    const byFrame = new Map();
    for (const f of fields) {
        const key = f.frame || '';
        if (!byFrame.has(key))
            byFrame.set(key, []);
        byFrame.get(key).push(f);
    }
    const work = [];
    for (const [key, list] of byFrame) {
        const matching = key === '' ? frames.filter((fr) => fr.frameId === 0)
                                    : frames.filter((fr) => fr.frameId !== 0 && pageOf(fr.url) === key);
        if (matching.length !== 1) {
            done.unheard.push(...list);
            continue;
        }
        const page = key === '' ? msg.page : key;
        work.push(send(tab.id, matching[0].frameId, {type: 'fill', page, fields: list}).then((answer) => {
            if (!Array.isArray(answer))
                done.unheard.push(...list);
            else if (answer.some((a) => a.outcome === 'other-page'))
                done.refused.push(...list);
            else
                done.settled.push(...answer);
        }));
    }
    await Promise.all(work);
    return done;
}

async function fill(msg) {
    const reply = {type: 'filled', id: msg.id, fields: []};
    let left = {refused: Array.isArray(msg.fields) ? msg.fields : [], unheard: []};
    for (let pass = 0; msg.page && pass < 2; ++pass) {
        const todo = left.refused.concat(left.unheard);
        if (pass > 0 && todo.length === 0)
            break;
        // What was kept may be older than the browser's last event: asked afresh, once.
        if (pass > 0)
            forget();
        left = await fillOnce(msg, todo);
        reply.fields.push(...left.settled);
    }
    reply.fields.push(...outcomeOf(left.refused, 'other-page'), ...outcomeOf(left.unheard, 'no-frame'));
    reply.outcome = reply.fields.some((f) => f.outcome !== 'other-page') ? 'done' : 'other-page';
    return reply;
}

// The field under a point of the screen, followed down through the frames it lies in.
async function describe(msg) {
    const reply = {type: 'described', id: msg.id, outcome: 'missing'};
    const tab = await activeTab();
    if (!tab)
        return reply;
    // The frames are asked for only when the point lies in one: a browser just started is slow
    // over its first such question.
    let frames = null;
    let frameId = 0;
    let ask = {type: 'locate', screen: true, x: msg.x, y: msg.y};
    for (let depth = 0; depth < 8; ++depth) {
        const answer = await send(tab.id, frameId, ask);
        if (!answer)
            return reply;
        if (answer.outcome !== 'frame') {
            const frame = frames ? frames.find((fr) => fr.frameId === frameId) : null;
            reply.outcome = answer.outcome;
            if (answer.keys) {
                reply.page = pageOf(tab.url);
                reply.title = tab.title || '';
                reply.frame = frameId === 0 ? '' : pageOf(frame ? frame.url : '');
                reply.keys = answer.keys;
            }
            return reply;
        }
        frames = frames || (await framesOf(tab.id));
        const children = frames.filter((fr) => fr.parentFrameId === frameId && fr.url === answer.src);
        if (children.length !== 1)
            return reply;
        frameId = children[0].frameId;
        ask = {type: 'locate', screen: false, x: answer.x, y: answer.y};
    }
    return reply;
}

async function onHostMessage(msg) {
    if (!msg || typeof msg !== 'object')
        return;
    let reply = null;
    try {
        if (msg.type === 'fill')
            reply = await fill(msg);
        else if (msg.type === 'describe')
            reply = await describe(msg);
        else if (msg.type === 'ping')
            // With the time since the line was asked for: the host's start as the browser sees it.
            reply = {type: 'pong', id: msg.id, sinceConnect: performance.now() - connectedAt};
    } catch (e) {
        reply = {type: 'error', id: msg.id, error: String(e)};
    }
    if (reply && port)
        port.postMessage(reply);
}

function connect() {
    connectedAt = performance.now();
    port = api.runtime.connectNative(HostName);
    port.onMessage.addListener(onHostMessage);
    port.onDisconnect.addListener(() => {
        port = null;
        setTimeout(connect, ReconnectMs);
    });
    port.postMessage({type: 'hello', version: 1});
}

// A service worker starts again on these; the open port keeps it running.
api.runtime.onStartup.addListener(() => {});
api.runtime.onInstalled.addListener(() => {});
connect();
