// The DataAssert action's check: the host's current data against the baseline.

export function dataAssert(baselineObj, configJsonString) {
    const result = {};
    let actual = "";
    try {
        actual = uiHelper.SerializeContainer(configJsonString);
        if (baselineObj === "")
            result.actual = actual; // nothing to compare: a first run captures the baseline
        else
            kavAssert.areEqualJson(baselineObj, actual);
        result.hasError = false;
    } catch (error) {
        result.hasError = true;
        result.errorMsg = error instanceof Error ? error.message : String(error);
        result.actual = actual;
    }
    return result;
}
