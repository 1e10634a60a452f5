// "No" to a message box, from inside its loop.
function (context) {
    return kavExecutor.executeSubDialog(context,
        function () { kavCmdController.GetAction("Clear.Nesting").trigger(); },
        function () { kavAssert.isTrue(mainWindow.ClickOn("noButton")); });
}
