// Plays a user clicking the second bracket on the first sheet of the sheet view.
function (context, done) {
    kavAssert.isTrue(mainWindow.ClickPart("Nestings/Nesting 1/Sheet 1/Bracket #2"));
    done();
}
