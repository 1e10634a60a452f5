// Changes how many brackets are wanted in the modal quantity dialog: the dialog runs its own
// event loop, so the script fills it in from inside that loop.
function (context) {
    return kavExecutor.executeSubDialog(context,
        function () {
            uiHelper.LaunchAction("Part", "Quantity"); // returns once the dialog has closed
        },
        function () {
            const dialog = uiHelper.FindControl(mainWindow, "Part");
            kavAssert.isTrue(dialog !== undefined);
            uiHelper.FindControl(dialog, "quantity").value = 4;
            uiHelper.FindControl(dialog, "okButton").click();
        });
}
