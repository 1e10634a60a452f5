// Plays a user asking for four brackets in the modal quantity dialog, from inside its loop.
function (context) {
    return kavExecutor.executeSubDialog(context,
        function () {
            kavCmdController.GetAction("Part.Quantity").trigger(); // returns once it has closed
        },
        function () {
            kavAssert.isTrue(mainWindow.TypeInto("quantity", "4"));
            kavAssert.isTrue(mainWindow.ClickOn("okButton"));
        });
}
