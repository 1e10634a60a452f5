function (context, done) {
    kavAssert.deepEqual(mainWindow.SelectedFeatures(), ["Bracket #2"]);
    kavAssert.isTrue(mainWindow.CurrentDialog() === null);
    done();
}
