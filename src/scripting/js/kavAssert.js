// Assertions for test scripts: each throws an Error on the first difference it finds.

export function isObject(obj) {
    return obj === Object(obj);
}

function notEqualMessage(propName, expected, actual) {
    return `The values of property [${propName}] in expected and actual are not equal.\n`;
}

function compare(expected, actual, propName, fullPath) {
    console.log("Comparing property: [" + propName + "]");
    if (Array.isArray(expected) && Array.isArray(actual)) {
        if (expected.length !== actual.length) {
            throw new Error(`The array length for actual:[${actual.length}] is different than `
                            + `expected:[${expected.length}]. Path: ${fullPath}`);
        }
        for (let i = 0; i < expected.length; ++i)
            compare(expected[i], actual[i], i, `${fullPath}[${i}]`);
        return;
    }
    if (isObject(expected) && isObject(actual)) {
        const missing = Object.getOwnPropertyNames(expected).filter(
            name => !Object.prototype.hasOwnProperty.call(actual, name));
        if (missing.length > 0) {
            throw new Error(`The actual object (Path: ${fullPath}) has properties missing `
                            + `according to the baseline: ${missing.join(",")}`);
        }
        for (const name in expected)
            compare(expected[name], actual[name], name, `${fullPath}/${name}`);
        return;
    }
    if (typeof expected === "number" && typeof actual === "number") {
        if (Math.abs(expected - actual) <= 0.0001)
            return;
        throw new Error(notEqualMessage(propName)
                        + `Expected: [${expected}]. Actual: [${actual}]. Path: ${fullPath}`);
    }
    if (expected == actual)
        return;
    throw new Error(notEqualMessage(propName)
                    + `Expected: [${expected}]. Actual: [${actual}]. Path: ${fullPath}`);
}

export function deepEqual(expected, actual) {
    compare(expected, actual, "Unknown", "$");
}

export function areEqualJson(expectedJson, actualJson) {
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
