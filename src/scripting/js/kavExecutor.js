// Runs script test cases: the case body, its completion, and the delayed callbacks it waits on.

const Fail = 2;

// The one delayed callback waiting on the engine's shared "timer", and the case it belongs to.
let pending = null;

function manager() {
    return kavAtmAutomationCaseManager;
}

function currentCase() {
    return typeof kavAtmAutomationCaseManager === "undefined"
        ? "" : kavAtmAutomationCaseManager.GetCurrentExecutingCase();
}

function errorText(error) {
    return error instanceof Error ? error.message : String(error);
}

function fail(key, context, error) {
    manager().RecordResult(key, Fail, errorText(error));
    if (context)
        manager().FinishCase(context);
    else
        manager().FinishCase(key, undefined);
}

function setTimeout(callback, delay, context) {
    if (timer.active) {
        // A callback left by a case that has ended must not fire into the next one.
        if (pending && pending.caseKey !== currentCase()) {
            timer.stop();
            timer.timeout.disconnect(pending.handler);
            pending = null;
        } else {
            throw new Error("nested calls to setTimeout are not supported!");
        }
    }
    console.log("setTimeout: " + delay);
    // Without a context the callback belongs to the case running now.
    const caseKey = context && context.key !== undefined ? String(context.key) : currentCase();
    const handler = function () {
        timer.stop();
        timer.timeout.disconnect(handler);
        pending = null;
        console.log("Start timer callback." + delay);
        try {
            callback();
        } catch (error) {
            fail(caseKey, context, error);
        }
        console.log("End timer callback." + delay);
    };
    pending = { handler: handler, caseKey: caseKey };
    timer.timeout.connect(handler);
    timer.interval = delay + 1; // 0 would fire at once
    timer.start();
}

export function wait(milliseconds) {
    return new Promise(resolve => setTimeout(resolve, milliseconds));
}

export function execute(context, contentFunc) {
    context.caseMgr = kavAtmAutomationCaseManager;
    context.setTimeout = setTimeout;
    context.waitForSlots = false;
    if (typeof contentFunc !== "function") {
        console.log("Empty contentFunc");
        manager().FinishCase(context);
        return;
    }
    let returned;
    try {
        console.log("Before running contentFunc");
        returned = contentFunc(context, function () {
            console.log("After running contentFunc");
            manager().FinishCase(context);
        });
        console.log("After contentFunc returned.");
    } catch (error) {
        console.log("Execution exception when running contentFunc:\n\t" + errorText(error));
        fail(context.key, context, error);
        return;
    }
    if (returned instanceof Promise) {
        console.log("Promise returned, waiting promise execution.");
        returned.then(function () {
            console.log("Check if the waitForSlots is set: " + context.waitForSlots);
            if (context.waitForSlots !== true) {
                console.log("After running contentFunc");
                manager().FinishCase(context);
            }
        }, function (error) {
            console.log("Running catch for promise.");
            fail(context.key, context, error);
        });
    }
}

export function executeSubDialog(context, beforeLogic, subDialogLogic, afterLogic) {
    const before = Promise.resolve().then(() => beforeLogic()).catch(function (error) {
        console.log("Error occurred in beforeLogic: " + errorText(error));
        fail(context.key, context, error);
    });
    const sub = wait(1000).then(() => subDialogLogic()).catch(function (error) {
        console.log("Error occurred in subDialogLogic: " + errorText(error));
        fail(context.key, context, error);
    });
    let all = Promise.all([before, sub]);
    if (afterLogic) {
        console.log("Chained the afterLogic.");
        all = all.then(() => afterLogic());
    }
    return all.catch(error => fail(context.key, context, error));
}
