// The user fills in the sheet properties dialog by typing, and accepts it.
function (context, done) {
    kavCmdController.GetAction("Sheet.Properties").trigger();
    kavAssert.isTrue(mainWindow.TypeInto("sheetWidth", "900"));
    kavAssert.isTrue(mainWindow.ClickOn("okButton"));
    done();
}
