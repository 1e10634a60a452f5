// The dialog's width as a text is no number.
function (context, done) {
    kavAssert.areEqual(800, uiHelper.FindControl(mainWindow, "Sheet") ? "800" : 0);
    done();
}
