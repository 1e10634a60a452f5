// Assertions for test scripts: each throws an Error on the first difference it finds.

const own = Object.prototype.hasOwnProperty;
// Taken when the module loads: a test script cannot swap the comparison for its own.
const native = kavNative;
const compareJson = native.CompareJson;

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

// The JSON type of a value (undefined and functions, which JSON has not, by their own name).
function typeOf(value) {
    if (value === null)
        return "null";
    // A list the host returns (a QStringList, say) is a sequence object, not an Array.
    if (Array.isArray(value) || value instanceof Array)
        return "array";
    return typeof value;
}

function show(value) {
    if (value !== null && typeof value === "object") {
        const text = JSON.stringify(value);
        return text.length > 200 ? text.substring(0, 200) + "..." : text;
    }
    return String(value);
}

function numbersEqual(expected, actual) {
    return expected === actual || Math.abs(expected - actual) <= 0.0001;
}

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
    const type = typeOf(expected);
    if (type !== typeOf(actual)) {
        throw new Error(`The values of property [${propName}] in expected and actual are not of `
                        + `the same type.\nExpected: [${show(expected)}] (${type}). `
                        + `Actual: [${show(actual)}] (${typeOf(actual)}). `
                        + `Path: ${pathOf(root, steps)}`);
    }
    if (type === "array") {
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
    if (type === "object") {
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
    if (type === "number" ? numbersEqual(expected, actual) : expected === actual)
        return;
    throw new Error(notEqualMessage(propName) + `Expected: [${show(expected)}]. `
                    + `Actual: [${show(actual)}]. Path: ${pathOf(root, steps)}`);
}

function compare(expected, actual, propName, fullPath) {
    compareIn(expected, actual, propName, fullPath, [], debugEnabled());
}

export function deepEqual(expected, actual) {
    compare(expected, actual, "Unknown", "$");
}

// Compared in C++ (kavNative), with the same rules and messages as deepEqual. Both arguments
// must be JSON texts: anything else would become a text of its own ("undefined",
// "[object Object]") and compare equal to its like.
export function areEqualJson(expectedJson, actualJson) {
    for (const [side, text] of [["expected", expectedJson], ["actual", actualJson]]) {
        if (typeof text !== "string")
            throw new Error(`areEqualJson takes JSON texts: the ${side} value is of type `
                            + `${typeOf(text)}, not a string (JSON.stringify it first).`);
    }
    const message = compareJson.call(native, expectedJson, actualJson);
    if (message !== "")
        throw new Error(message);
}

// The same rule as the JSON comparison: values of different types are never equal (0 and "",
// 800 and "800", null and undefined), numbers within 0.0001, lists and objects deeply.
export function areEqual(expected, actual, propName) {
    if (propName === undefined)
        propName = "Unknown";
    const type = typeOf(expected);
    if (type !== typeOf(actual)) {
        throw new Error(`The values of property [${propName}] in expected and actual are not of `
                        + `the same type.\nExpected: [${show(expected)}] (${type}). `
                        + `Actual: [${show(actual)}] (${typeOf(actual)})`);
    }
    if (type === "array" || type === "object") {
        compare(expected, actual, propName, "$");
        return;
    }
    if (type === "number" ? numbersEqual(expected, actual) : expected === actual)
        return;
    throw new Error("The values of property [" + propName
                    + "] in expected and actual are not equal.\n" + "Expected: [" + show(expected)
                    + "]. Actual: [" + show(actual) + "]");
}

// The message, when given, says what was expected to hold.
export function isTrue(actual, message) {
    if (!actual) {
        throw new Error(message === undefined ? "The actual value is not true."
                                              : "The actual value is not true: " + String(message));
    }
}
