// The DataAssert action's check: the host's current data against the baseline.

import { areEqualJson } from "./kavAssert.js";

// Taken when the module loads: a test script cannot swap the serialiser for its own.
const helper = uiHelper;

export function dataAssert(baselineObj, configJsonString) {
    const result = {};
    let actual = "";
    try {
        actual = helper.SerializeContainer(configJsonString);
        if (baselineObj === "")
            result.actual = actual; // nothing to compare: a first run captures the baseline
        else
            areEqualJson(baselineObj, actual);
        result.hasError = false;
    } catch (error) {
        result.hasError = true;
        result.errorMsg = error instanceof Error ? error.message : String(error);
        result.actual = actual;
    }
    return result;
}
