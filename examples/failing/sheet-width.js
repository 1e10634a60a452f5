// Expects a sheet width the document does not have: the assertion fails on its line, and the
// report shows that line, the script's stack, the host's output and the host's window.
function (context, done) {
    uiHelper.LaunchAction("Sheet", "Properties");
    const dialog = uiHelper.FindControl(mainWindow, "Sheet");
    const width = uiHelper.FindControl(dialog, "sheetWidth").value;
    uiHelper.FindControl(dialog, "cancelButton").click();
    kavAssert.areEqual(2500, width, "sheetWidth");
    done();
}
