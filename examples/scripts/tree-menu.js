// Selects a tree item, then selects again through the tree's context menu.
function (context, done) {
    const tree = uiHelper.FindControl(mainWindow, "featureTree");
    uiHelper.SetTreeWidgetSelectedItem(tree, "^Nestings$");
    kavAssert.areEqual("Nestings", mainWindow.SelectedFeatures().join(","), "selection");

    uiHelper.RightClickOnWidget(tree);
    const menu = uiHelper.FindControl(mainWindow, "featureMenu");
    uiHelper.TriggerMenuAction(menu, "Select");
    kavAssert.areEqual(1, mainWindow.SelectedFeatures().length, "selected by the menu");
    context.data = mainWindow.SelectedFeatures().join(",");
    done();
}
