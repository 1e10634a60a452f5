function (c) {
    const x = 1;
    kavAssert.areEqual(1, 2);
}
