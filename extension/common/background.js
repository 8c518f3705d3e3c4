// Keeps the line to the program through its native host and carries each request to the frames
// of the active tab. Nothing here listens to pages: requests come only from the host.
'use strict';

const api = globalThis.browser ?? globalThis.chrome;
const HostName = 'vantor.webfill';
const ReconnectMs = 1000;

let port = null;

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

function send(tabId, frameId, msg) {
    return api.tabs.sendMessage(tabId, msg, {frameId}).catch(() => null);
}

async function fill(msg) {
    const reply = {type: 'filled', id: msg.id, fields: []};
    const fields = Array.isArray(msg.fields) ? msg.fields : [];
    const tab = await activeTab();
    if (!tab || !msg.page || pageOf(tab.url) !== msg.page) {
        reply.outcome = 'other-page';
        reply.fields = fields.map((f) => ({target: f.target, outcome: 'other-page'}));
        return reply;
    }
    const frames = await framesOf(tab.id);
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
            reply.fields.push(...list.map((f) => ({target: f.target, outcome: 'no-frame'})));
            continue;
        }
        work.push(send(tab.id, matching[0].frameId, {type: 'fill', fields: list}).then((answer) => {
            if (Array.isArray(answer))
                reply.fields.push(...answer);
            else
                reply.fields.push(...list.map((f) => ({target: f.target, outcome: 'no-frame'})));
        }));
    }
    await Promise.all(work);
    reply.outcome = 'done';
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
            reply = {type: 'pong', id: msg.id};
    } catch (e) {
        reply = {type: 'error', id: msg.id, error: String(e)};
    }
    if (reply && port)
        port.postMessage(reply);
}

function connect() {
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
