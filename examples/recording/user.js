// Plays a user while the runner records: opens the sheet properties from the menu's action,
// types a sheet width, accepts the dialog.
function (context, done) {
    kavCmdController.GetAction("Sheet.Properties").trigger();
    kavAssert.isTrue(mainWindow.TypeInto("sheetWidth", "900"));
    kavAssert.isTrue(mainWindow.ClickOn("okButton"));
    done();
}
