// Assertions for test scripts: each throws an Error on the first difference it finds.

export function isObject(obj) {
    return obj === Object(obj);
}

function notEqualMessage(propName) {
    return `The values of property [${propName}] in expected and actual are not equal.\n`;
}

// The per-property line is built only when "kav.scripting" debug output is on ("kavDebug").
function debugEnabled() {
    return typeof kavDebug !== "undefined" && kavDebug === true;
}

const own = Object.prototype.hasOwnProperty;

// The path of the value being compared is kept as a stack of steps and written out only for a
// message: a document of a hundred thousand objects is compared without building a path for
// each of its values.
function pathOf(root, steps) {
    let path = root;
    for (const step of steps)
        path += typeof step === "number" ? `[${step}]` : `/${step}`;
    return path;
}

function compareIn(expected, actual, propName, root, steps, debug) {
    if (debug)
        console.log("Comparing property: [" + propName + "]");
    if (Array.isArray(expected) && Array.isArray(actual)) {
        if (expected.length !== actual.length) {
            throw new Error(`The array length for actual:[${actual.length}] is different than `
                            + `expected:[${expected.length}]. Path: ${pathOf(root, steps)}`);
        }
        for (let i = 0; i < expected.length; ++i) {
            steps.push(i);
            compareIn(expected[i], actual[i], i, root, steps, debug);
            steps.pop();
        }
        return;
    }
    if (isObject(expected) && isObject(actual)) {
        const names = Object.keys(expected);
        let missing = null;
        for (let i = 0; i < names.length; ++i) {
            if (!own.call(actual, names[i]))
                (missing || (missing = [])).push(names[i]);
        }
        if (missing) {
            throw new Error(`The actual object (Path: ${pathOf(root, steps)}) has properties `
                            + `missing according to the baseline: ${missing.join(",")}`);
        }
        for (let i = 0; i < names.length; ++i) {
            const name = names[i];
            steps.push(name);
            compareIn(expected[name], actual[name], name, root, steps, debug);
            steps.pop();
        }
        return;
    }
    if (typeof expected === "number" && typeof actual === "number") {
        if (Math.abs(expected - actual) <= 0.0001)
            return;
    } else if (expected == actual) {
        return;
    }
    throw new Error(notEqualMessage(propName) + `Expected: [${expected}]. Actual: [${actual}]. `
                    + `Path: ${pathOf(root, steps)}`);
}

function compare(expected, actual, propName, fullPath) {
    compareIn(expected, actual, propName, fullPath, [], debugEnabled());
}

export function deepEqual(expected, actual) {
    compare(expected, actual, "Unknown", "$");
}

export function areEqualJson(expectedJson, actualJson) {
    // The same text is the same JSON: a baseline captured from this very serialisation
    // compares equal without parsing either.
    if (typeof expectedJson === "string" && expectedJson === actualJson)
        return;
    let expected;
    let actual;
    console.log("Parsing expected JSON.");
    try {
        expected = JSON.parse(expectedJson);
    } catch (error) {
        console.log("Parsing expected JSON failed due to: " + error.message);
        throw error;
    }
    console.log("Parsing actual JSON.");
    try {
        actual = JSON.parse(actualJson);
    } catch (error) {
        console.log("Parsing actual JSON failed due to: " + error.message);
        throw error;
    }
    compare(expected, actual, "Unknown", "$");
}

export function areEqual(expected, actual, propName) {
    if (propName === undefined)
        propName = "Unknown";
    if (expected == actual)
        return;
    throw new Error("The values of property [" + propName
                    + "] in expected and actual are not equal.\n" + "Expected: [" + expected
                    + "]. Actual: [" + actual + "]");
}

export function isTrue(actual) {
    if (!actual)
        throw new Error("The actual value is not true.");
}
