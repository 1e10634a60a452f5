// A modal popup, answered from inside its loop.
function (context) {
    return kavExecutor.executeSubDialog(context,
        function () { kavCmdController.GetAction("Part.Quantity").trigger(); },
        function () {
            kavAssert.isTrue(mainWindow.TypeInto("quantity", "4"));
            kavAssert.isTrue(mainWindow.ClickOn("okButton"));
        });
}
