// Plays a user who starts clearing the nesting and answers "No" when the message box asks.
function (context) {
    return kavExecutor.executeSubDialog(context,
        function () {
            kavCmdController.GetAction("Clear.Nesting").trigger();
        },
        function () {
            kavAssert.isTrue(mainWindow.ClickOn("noButton"));
        });
}
