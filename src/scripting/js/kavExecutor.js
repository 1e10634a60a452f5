// Runs script test cases: the case body, its completion, and the delayed callbacks it waits on.

// Taken when the module loads, so a test script cannot swap them for its own: the manager is
// published before the library's modules are imported.
const sharedTimer = timer;
const caseManager = kavAtmAutomationCaseManager;

// The library's own lines are debug output: written only when "kav.scripting" debug output is
// on ("kavDebug"), never into every run's log.
const debugLog = typeof kavDebug !== "undefined" && kavDebug === true
    ? (...parts) => console.log(...parts)
    : () => {};

// The one delayed callback waiting on the shared timer, and the case it belongs to. The case
// manager stops the timer when a case ends, so what a case left never fires into the next one.
let pending = null;

function manager() {
    return caseManager;
}

function currentCase() {
    return caseManager.GetCurrentExecutingCase();
}

function errorText(error) {
    return error instanceof Error ? error.message : String(error);
}

function fail(key, context, error) {
    manager().RecordFailure(key, errorText(error), error);
    if (context)
        manager().FinishCase(context);
    else
        manager().FinishCase(key, undefined);
}

function drop() {
    sharedTimer.stop();
    try {
        sharedTimer.timeout.disconnect(pending.handler);
    } catch (error) {
        // Already taken off when its case ended.
    }
    pending = null;
}

function setTimeout(callback, delay, context) {
    if (pending) {
        if (sharedTimer.active && pending.caseKey === currentCase())
            throw new Error("nested calls to setTimeout are not supported!");
        drop();
    }
    debugLog("setTimeout: " + delay);
    // No delay, a negative one or not a number: the next turn of the event loop.
    const milliseconds = Number(delay) > 0 ? Math.min(Math.floor(Number(delay)), 2147483646) : 0;
    // Without a context the callback belongs to the case running now.
    const caseKey = context && context.key !== undefined ? String(context.key) : currentCase();
    const handler = function () {
        if (pending && pending.handler === handler)
            drop();
        debugLog("Start timer callback." + delay);
        try {
            callback();
        } catch (error) {
            fail(caseKey, context, error);
        }
        debugLog("End timer callback." + delay);
    };
    pending = { handler: handler, caseKey: caseKey };
    sharedTimer.timeout.connect(handler);
    sharedTimer.interval = milliseconds + 1; // 0 would fire at once
    sharedTimer.start();
}

export function wait(milliseconds) {
    return new Promise(resolve => setTimeout(resolve, milliseconds));
}

export function execute(context, contentFunc) {
    context.caseMgr = caseManager;
    context.setTimeout = setTimeout;
    context.waitForSlots = false;
    if (typeof contentFunc !== "function") {
        debugLog("Empty contentFunc");
        manager().FinishCase(context);
        return;
    }
    let returned;
    try {
        debugLog("Before running contentFunc");
        returned = contentFunc(context, function () {
            debugLog("After running contentFunc");
            manager().FinishCase(context);
        });
        debugLog("After contentFunc returned.");
    } catch (error) {
        debugLog("Execution exception when running contentFunc:\n\t" + errorText(error));
        fail(context.key, context, error);
        return;
    }
    if (returned instanceof Promise) {
        debugLog("Promise returned, waiting promise execution.");
        returned.then(function () {
            debugLog("Check if the waitForSlots is set: " + context.waitForSlots);
            if (context.waitForSlots !== true) {
                debugLog("After running contentFunc");
                manager().FinishCase(context);
            }
        }, function (error) {
            debugLog("Running catch for promise.");
            fail(context.key, context, error);
        });
    }
}

export function executeSubDialog(context, beforeLogic, subDialogLogic, afterLogic) {
    const before = Promise.resolve().then(() => beforeLogic()).catch(function (error) {
        debugLog("Error occurred in beforeLogic: " + errorText(error));
        fail(context.key, context, error);
    });
    const sub = wait(1000).then(() => subDialogLogic()).catch(function (error) {
        debugLog("Error occurred in subDialogLogic: " + errorText(error));
        fail(context.key, context, error);
    });
    let all = Promise.all([before, sub]);
    if (afterLogic) {
        debugLog("Chained the afterLogic.");
        all = all.then(() => afterLogic());
    }
    return all.catch(error => fail(context.key, context, error));
}
