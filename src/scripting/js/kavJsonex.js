// JSON text with property filtering.

// The library's own lines are debug output: written only when "kav.scripting" debug output is
// on ("kavDebug"), never into every run's log.
const debugLog = typeof kavDebug !== "undefined" && kavDebug === true
    ? (...parts) => console.log(...parts)
    : () => {};

export function stringify(value, replacer, space, ignoreProps) {
    // Nothing to write; but 0, false and "" are values with a JSON text of their own.
    if (value === undefined || value === null || (typeof value === "number" && isNaN(value)))
        return undefined;
    if (!replacer) {
        debugLog("Using default replacer.");
        const ignored = Array.isArray(ignoreProps) ? ignoreProps : [];
        replacer = function (key, member) {
            if (key !== "" && ignored.indexOf(key) >= 0)
                return undefined;
            if (member instanceof ArrayBuffer)
                return Array.from(new Uint8Array(member));
            return member;
        };
    }
    return JSON.stringify(value, replacer, space);
}
