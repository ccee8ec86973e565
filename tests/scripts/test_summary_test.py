#!/usr/bin/env python3
"""The closing count of make check (scripts/test-summary) over made-up stages.

    test_summary_test.py REPORT.xml

Each case lays out stage records and reports in a temporary folder, runs
the summary and checks its last line and exit status.  The cases are the
ways a count has lied before: checks whose failures never reached a report,
entries that are no tests, a test skipped in one build only.  Writes its own
outcome as a GoogleTest-style report, so that it is counted too.
"""
import os
import subprocess
import sys
import tempfile

SUMMARY = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'test-summary')


def case(name, status='run', result='completed', body=''):
    return ('<testcase classname="S" name="%s" status="%s" result="%s">%s</testcase>'
            % (name, status, result, body))


FAIL = '<failure message="got 1, expected 2"/>'
SKIP = '<skipped message="needs the 32-bit build"/>'


def report(*cases):
    return ('<?xml version="1.0"?><testsuites><testsuite name="S">%s</testsuite></testsuites>'
            % ''.join(cases))


def run(stages, expected=()):
    """stages: name -> (status line, {report name: xml text}) or ('skip', why)."""
    with tempfile.TemporaryDirectory() as d:
        for name, (status, reports) in stages.items():
            lines = [status]
            if status == 'skip':
                lines.append(reports)
            else:
                for rname, text in reports.items():
                    path = os.path.join(d, '%s-%s.xml' % (name, rname))
                    if text is not None:
                        with open(path, 'wb') as f:
                            f.write(text if isinstance(text, bytes) else text.encode())
                    lines.append(path)
            with open(os.path.join(d, name + '.stage'), 'w') as f:
                f.write('\n'.join(lines) + '\n')
        p = subprocess.run([sys.executable, SUMMARY, d, *expected], capture_output=True, text=True)
        return p.stdout.strip().splitlines()[-1], p.returncode


CASES = [
    ('a failed install check is a failed case',
     {'install': ('1', {'install_check': report(case('a'), case('b', body=FAIL), case('c'))})},
     (), 'make check: 2 passed, 1 failed, 0 skipped', 1),
    ('a failed script client is a failed case',
     {'win64': ('8', {'script_js': report(case('whitelist_client.js', body=FAIL))})},
     (), 'make check: 0 passed, 1 failed, 0 skipped', 1),
    ('a stage that failed with clean reports still fails',
     {'native': ('2', {'unit_tests': report(case('a'), case('b'))})},
     (), 'make check: 2 passed, 1 failed, 0 skipped', 1),
    ('a missing report fails',
     {'win64': ('0', {'win_tests': None})},
     (), 'make check: 0 passed, 1 failed, 0 skipped', 1),
    ('a stage that never ran fails',
     {'native': ('0', {'unit_tests': report(case('a'))})},
     ('native', 'fuzz'), 'make check: 1 passed, 1 failed, 0 skipped', 1),
    ('a disabled child entry is skipped, never passed',
     {'win64': ('0', {'win_tests': report(case('a'), case('DISABLED_child', status='notrun'))})},
     (), 'make check: 1 passed, 0 failed, 1 skipped', 0),
    ('a test skipped in one build only counts as skipped there',
     {'win64': ('0', {'win_tests': report(case('a'), case('bitness', result='skipped', body=SKIP))}),
      'win32': ('0', {'win_tests': report(case('a'), case('bitness'))})},
     (), 'make check: 3 passed, 0 failed, 1 skipped', 0),
    ('a stage not run is one skipped case with its reason',
     {'win32': ('skip', 'wine32:i386 could not be installed')},
     ('win32',), 'make check: 0 passed, 0 failed, 1 skipped', 0),
    ('a report holding a byte that is not UTF-8 is still counted',
     {'native': ('0', {'unit_tests': report(case('a'), case('b')).replace('"b"', '"b/\xe9"').encode('latin-1')})},
     (), 'make check: 2 passed, 0 failed, 0 skipped', 0),
    ('an unreadable report fails',
     {'fuzz': ('0', {'fuzz': '<testsuites><testcase'})},
     (), 'make check: 0 passed, 1 failed, 0 skipped', 1),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else None
    results = []
    for name, stages, expected, line, code in CASES:
        got_line, got_code = run(stages, expected)
        ok = got_line == line and got_code == code
        results.append((name, ok, 'got "%s" (exit %d), expected "%s" (exit %d)' % (got_line, got_code, line, code)))
        print('%s %s' % ('ok  ' if ok else 'FAIL', name if ok else name + ': ' + results[-1][2]))
    failed = sum(1 for _, ok, _ in results if not ok)
    if out:
        esc = lambda s: s.replace('&', '&amp;').replace('"', '&quot;').replace('<', '&lt;')
        with open(out, 'w') as f:
            f.write('<?xml version="1.0"?>\n<testsuites tests="%d" failures="%d">\n'
                    '<testsuite name="TestSummary" tests="%d" failures="%d">\n'
                    % (len(results), failed, len(results), failed))
            for name, ok, detail in results:
                f.write('<testcase classname="TestSummary" name="%s" status="run" result="completed">%s</testcase>\n'
                        % (esc(name), '' if ok else '<failure message="%s"/>' % esc(detail)))
            f.write('</testsuite>\n</testsuites>\n')
    print('%d passed, %d failed' % (len(results) - failed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
