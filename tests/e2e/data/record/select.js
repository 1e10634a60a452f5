// A click on a part, then the tree's context menu: both are the user's selections.
function (context, done) {
    kavAssert.isTrue(mainWindow.ClickPart("Nestings/Nesting 1/Sheet 1/Bracket #1"));
    kavAssert.isTrue(mainWindow.SelectFromMenu("Nestings/Nesting 1/Sheet 1/Bracket #2"));
    done();
}
