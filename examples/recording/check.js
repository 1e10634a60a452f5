// After the replay: the part the user clicked is selected again, and no dialog is left waiting
// for an answer.
function (context, done) {
    kavAssert.deepEqual(mainWindow.SelectedFeatures(), ["Bracket #2"]);
    kavAssert.isTrue(mainWindow.CurrentDialog() === null);
    done();
}
