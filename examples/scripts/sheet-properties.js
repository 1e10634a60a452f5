// Fills in the sheet properties dialog and accepts it: the document is nested again on
// 600 x 300 sheets.
function (context, done) {
    uiHelper.LaunchAction("Sheet", "Properties");
    const dialog = uiHelper.FindControl(mainWindow, "Sheet");
    kavAssert.isTrue(dialog !== undefined);
    uiHelper.FindControl(dialog, "sheetWidth").value = 600;
    uiHelper.FindControl(dialog, "sheetHeight").value = 300;
    uiHelper.FindControl(dialog, "sheetName").text = "Narrow";
    uiHelper.FindControl(dialog, "packingOrder").currentIndex = 1;
    uiHelper.FindControl(dialog, "okButton").click();
    done();
}
