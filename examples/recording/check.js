// After the replay: the part the user clicked is selected again.
function (context, done) {
    kavAssert.deepEqual(mainWindow.SelectedFeatures(), ["Bracket #2"]);
    done();
}
