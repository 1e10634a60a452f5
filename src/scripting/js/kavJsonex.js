// JSON text with property filtering.

export function stringify(value, replacer, space, ignoreProps) {
    // Nothing to write; but 0, false and "" are values with a JSON text of their own.
    if (value === undefined || value === null || (typeof value === "number" && isNaN(value)))
        return undefined;
    if (!replacer) {
        console.log("Using default replacer.");
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
