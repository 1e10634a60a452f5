function (context, done) {
    kavCmdController.GetAction("Sheet.Properties").trigger();
    done();
}
