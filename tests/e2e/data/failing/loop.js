function (c) { for (;;) {} }
