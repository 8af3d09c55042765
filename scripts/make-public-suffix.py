#!/usr/bin/env python3
"""Turns the public-suffix list into a C++ table compiled into the program.

Usage: make-public-suffix.py LIST VERSION OUT.cpp

The list's rules go into three sorted tables (plain suffixes, wildcard bases and exceptions), all
in ASCII: a rule written in Unicode is stored in its IDNA ("xn--") form, since a host the program
accepts holds ASCII letters, digits, "-" and "." only. Both of the list's sections count: the
private section names hosting suffixes ("github.io") where every customer is a site of its own.
"""
import sys


def ascii_rule(rule):
    try:
        rule.encode('ascii')
        return rule.lower()
    except UnicodeEncodeError:
        pass
    labels = []
    for label in rule.split('.'):
        if label == '*':
            labels.append(label)
            continue
        try:
            labels.append(label.encode('idna').decode('ascii').lower())
        except UnicodeError:
            return None  # a label IDNA 2003 cannot express never matches an ASCII host anyway
    return '.'.join(labels)


def main():
    src, version, out = sys.argv[1:4]
    plain, wild, exceptions = set(), set(), set()
    skipped = 0
    with open(src, encoding='utf-8') as f:
        for line in f:
            rule = line.strip().split()[0] if line.strip() else ''
            if not rule or rule.startswith('//'):
                continue
            rule = ascii_rule(rule)
            if rule is None:
                skipped += 1
                continue
            if rule.startswith('!'):
                exceptions.add(rule[1:])
            elif rule.startswith('*.'):
                wild.add(rule[2:])
            elif '*' in rule:
                skipped += 1  # the list has no inner wildcards; a future one is not guessed at
            else:
                plain.add(rule)

    def table(name, items):
        rows = ''.join('    "%s",\n' % s for s in sorted(items))
        return 'const char* const %s[] = {\n%s};\n' % (name, rows)

    with open(out, 'w') as f:
        f.write('// Made at build time by scripts/make-public-suffix.py from the public-suffix list\n')
        f.write('// of the system it was built on (version %s). Do not edit.\n' % version)
        f.write('#include "cookies/PublicSuffixTable.h"\n\nnamespace publicsuffix {\nnamespace {\n')
        f.write(table('kPlain', plain))
        f.write(table('kWildcard', wild))
        f.write(table('kException', exceptions))
        f.write('}  // namespace\n\n')
        f.write('const char kListVersion[] = "%s";\n' % version)
        f.write('const TTable kPlainRules = {kPlain, sizeof kPlain / sizeof *kPlain};\n')
        f.write('const TTable kWildcardRules = {kWildcard, sizeof kWildcard / sizeof *kWildcard};\n')
        f.write('const TTable kExceptionRules = {kException, sizeof kException / sizeof *kException};\n')
        f.write('}  // namespace publicsuffix\n')
    if skipped:
        print('make-public-suffix: %d rules left out' % skipped)


if __name__ == '__main__':
    main()
