# A JUnit file as a real consumer reads it: one line a suite, one a test case.
import sys
from junitparser import JUnitXml
for suite in JUnitXml.fromfile(sys.argv[1]):
    print("suite|%s|%d|%d|%d|%s" % (suite.name, suite.tests, suite.failures, suite.skipped,
                                    suite.timestamp or ""))
    for case in suite:
        kinds = ",".join(type(r).__name__ + ":" + (r.message or "") for r in case.result)
        print("case|%s|%s|%s|%s" % (case.classname, case.name, kinds, case.system_out or ""))
