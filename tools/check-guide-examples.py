#!/usr/bin/env python3
"""Checks the guide's PowerShell and Ansible examples, which Wine cannot run:
each finds qb480cfg.exe where the packages install it and calls it with a
command and switches that the program's usage gives that command, and the
exit codes each compares with are codes the program has. (The cmd examples
run in the configurator's tests as written.) Prints each fault; exit 1."""
import html
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = ["intune-detect", "intune-remedy", "cm-discover", "cm-remedy", "ansible"]
FOUND_AT = {
    "powershell": ['$programs = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }',
                   '$cfg = "$programs\\Tessaline\\QB480\\qb480cfg.exe"'],
    "ansible": ['"C:\\Program Files\\Tessaline\\QB480\\qb480cfg.exe"'],
}


def usage():
    """The commands with the switches each takes, and the exit codes, from
    the program's own /? text."""
    source = open(os.path.join(ROOT, "configurator", "CfgArguments.cpp"), encoding="utf-8").read()
    text = "".join(re.findall(r'^\s*"(.*)"', source.split("kCfgUsage[] =")[1].split("\";")[0] + "\"", re.M))
    text = text.replace("\\n", "\n")
    commands = {}
    for line in text.splitlines():
        m = re.match(r"qb480cfg\.exe (\w+)(.*)", line)
        if m:
            commands[m.group(1)] = set(re.findall(r"/\w+", m.group(2))) | {"/log"}
    codes = {int(c) for c in re.findall(r"(\d+) [a-z]", text.split("Exit codes:")[1])}
    return commands, codes


def calls(kind, text):
    """(command, [switches]) of each call of the program."""
    pattern = r"&\s*\$cfg\s+(.*)" if kind == "powershell" else r'qb480cfg\.exe"\s+(.*?)\'?$'
    for line in text.splitlines():
        m = re.search(pattern, line)
        if m:
            words = m.group(1).split()
            yield words[0], [w for w in words[1:] if w.startswith("/")]


def compared_codes(text):
    return {int(c) for c in re.findall(r"-eq (\d+)|\b(\d+)\s*\{|rc not in \[([\d, ]+)\]", text) for c in
            re.findall(r"\d+", " ".join(c))}


def main():
    guide = open(os.path.join(ROOT, "docs", "guide", "guide.html"), encoding="utf-8").read()
    commands, codes = usage()
    faults = []
    for name in EXAMPLES:
        m = re.search(r'<pre id="%s">(.*?)</pre>' % name, guide, re.S)
        if not m:
            faults.append("%s: no such example" % name)
            continue
        text = html.unescape(m.group(1))
        kind = "ansible" if name == "ansible" else "powershell"
        for needed in FOUND_AT[kind]:
            if needed not in text:
                faults.append("%s: does not find the program as the packages install it (%s)" % (name, needed))
        made = list(calls(kind, text))
        if not made:
            faults.append("%s: never runs the program" % name)
        for command, switches in made:
            if command not in commands:
                faults.append("%s: unknown command %s" % (name, command))
                continue
            for switch in switches:
                if switch not in commands[command]:
                    faults.append("%s: %s does not take %s" % (name, command, switch))
        for code in compared_codes(text) - codes:
            faults.append("%s: compares with %d, which the program never gives" % (name, code))
    for fault in faults:
        print("guide: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
