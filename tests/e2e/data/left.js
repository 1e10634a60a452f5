// What the procedure before left open is gone.
function (context, done) {
    kavAssert.isTrue(mainWindow.CurrentDialog() === null, "no dialog left");
    done();
}
