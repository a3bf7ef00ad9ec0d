"""The rules for the packages' board set-up (the QB480_* properties and the
actions of qb480cfgmsi.dll) that Wine's msiexec does not enforce, read from
the tables as ice_rules.py reads the validation rules. Each rule takes a
Package and returns its faults as text: none when the package keeps it."""
import re

BOARD_PROPERTIES = ("QB480_MEMSEG", "QB480_PORT", "QB480_IRQ", "QB480_PREFIX", "QB480_FIRST", "QB480_SETTINGS")
# Handed to the configurator with the others, but sets nothing up alone.
REASON_PROPERTY = "QB480_REASON"
DLL_IN_BINARY, ERROR_ACTION = 1, 19
ROLLBACK, COMMIT, IN_SCRIPT, NO_IMPERSONATE, IGNORE_RESULT = 0x100, 0x200, 0x400, 0x800, 0x40
# The installer sets them; in a managed installation a standard user must not.
INSTALLER_SET = ("AdminUser", "Privileged", "EnableUserControl")


def condition_holds(condition, properties):
    """A sequence condition of names, NOT, AND, OR, parentheses and
    NAME~="TEXT" (the letter case ignored), with the given properties set."""
    tokens = re.findall(r'\(|\)|~=|"[^"]*"|[A-Za-z_][A-Za-z0-9_.]*', condition)

    def value(name):
        return properties.get(name, "")

    def chain(at, operator, operand):
        """operand (operator operand)*: OR binds looser than AND."""
        result, at = operand(at)
        while at < len(tokens) and tokens[at] == operator:
            right, at = operand(at + 1)
            result = (result or right) if operator == "OR" else (result and right)
        return result, at

    def parse(at):
        return chain(at, "OR", lambda at: chain(at, "AND", parse_not))

    def parse_not(at):
        if tokens[at] == "NOT":
            result, at = parse_not(at + 1)
            return not result, at
        if tokens[at] == "(":
            result, at = parse(at + 1)
            return result, at + 1
        if at + 2 < len(tokens) and tokens[at + 1] == "~=":
            return value(tokens[at]).lower() == tokens[at + 2].strip('"').lower(), at + 3
        return bool(value(tokens[at])), at + 1

    return not tokens or parse(0)[0]


def cases():
    """Installations to weigh a condition in: each property alone, none, and a removal."""
    yield "no board property", {}, False
    yield REASON_PROPERTY + " alone", {REASON_PROPERTY: "1"}, False
    for name in BOARD_PROPERTIES:
        yield name, {name: "1"}, True
    yield "a removal with QB480_IRQ", {"QB480_IRQ": "1", "REMOVE": "ALL"}, False


def steps(package):
    return {row["Action"]: row for row in package.table("InstallExecuteSequence")}


def board_actions(package):
    return {row["Action"]: int(row["Type"]) for row in package.table("CustomAction") if row["Source"] == "Qb480CfgMsi"}


def formatted_texts(package):
    """(table, text) of every cell of the package's own tables."""
    for name in sorted(n for n in package.names if not n.startswith("_")):
        for row in package.table(name):
            for cell in row.values():
                yield name, cell


# A board property's value is never pasted into formatted text: the
# configurator's command line would be whatever its quotes make of it.
def pasted(package):
    return sorted({"%s names [%s]" % (table, name) for table, text in formatted_texts(package)
                   for name in re.findall(r"\[(QB480_[A-Z]+)\]", text)})


# No formatted text names a file in a folder every user can write: one may
# put a folder or a link there first.
def shared_folders(package):
    pattern = re.compile(r"\[TempFolder\]|\[WindowsFolder\]Temp|%TEMP%|%TMP%", re.IGNORECASE)
    return sorted({"%s names %s" % (table, text) for table, text in formatted_texts(package) if pattern.search(text)})


def error_action(package, mentioning):
    """The one error action in the execute sequence whose condition names
    mentioning, and the faults of looking for it."""
    sequence, types = steps(package), {row["Action"]: int(row["Type"]) for row in package.table("CustomAction")}
    found = [name for name, kind in types.items() if kind & 0x3F == ERROR_ACTION and name in sequence and
             mentioning in sequence[name]["Condition"]]
    if len(found) != 1:
        return None, ["%d error actions on %s in the execute sequence, not one" % (len(found), mentioning)]
    name, faults = found[0], []
    first = min([int(sequence[action]["Sequence"]) for action in board_actions(package) if action in sequence] +
                [int(sequence.get("InstallInitialize", {"Sequence": 0})["Sequence"])])
    if int(sequence[name]["Sequence"]) >= first:
        faults.append("%s runs at %s, not before InstallInitialize and the board's actions (%d)"
                      % (name, sequence[name]["Sequence"], first))
    if any(row["Action"] == name for row in package.table("InstallUISequence")):
        faults.append("%s runs in the user-interface sequence, before an administrator is elevated" % name)
    return sequence[name], faults


def refusal_cases(refusal, set_name, refused_when_set):
    """Where the refusal runs, for each installation with and without set_name set, as faults."""
    faults = []
    for what, given, board in cases():
        for value in ("", "1"):
            runs = condition_holds(refusal["Condition"], dict(given, **{set_name: value}))
            if runs != (board and bool(value) == refused_when_set):
                faults.append("%s %s with %s and %s %r" % (refusal["Action"], "runs" if runs else "does not run",
                                                            what, set_name, value))
    return faults


# Only an administrator gives the board's properties: an error action stops
# the installation before anything is installed when one is given and
# AdminUser is not set, AdminUser being the user's own membership.
def administrator(package):
    faults = []
    properties = {row["Property"]: row["Value"] for row in package.table("Property")}
    if properties.get("MSIUSEREALADMINDETECTION") != "1":
        faults.append("MSIUSEREALADMINDETECTION is %r, not 1" % properties.get("MSIUSEREALADMINDETECTION"))
    secure = set(properties.get("SecureCustomProperties", "").split(";"))
    faults += ["%s may be set by the user" % name for name in INSTALLER_SET if name in secure or name in properties]
    refusal, found = error_action(package, "AdminUser")
    return faults + found + (refusal_cases(refusal, "AdminUser", False) if refusal else [])


# Rollback actions do not run while rollback is disabled ("Rollback Custom
# Actions"): an installation given a board property stops then, before
# anything is installed.
def rollback_disabled(package):
    refusal, found = error_action(package, "RollbackDisabled")
    return found + (refusal_cases(refusal, "RollbackDisabled", True) if refusal else [])


# The configurator started as SYSTEM must be the package's own: the package
# carries its digest as a private property, which no command line can set.
def digest(package):
    properties = {row["Property"]: row["Value"] for row in package.table("Property")}
    value = properties.get("Qb480CfgSha256", "")
    return [] if re.fullmatch(r"[0-9a-f]{64}", value) else ["the package's digest of qb480cfg.exe is %r" % value]


# The configuration runs only with a board property given and never at a
# removal, as the installer's service; its values are handed over before
# anything is installed, the rollback is scheduled right before it and the
# commit that forgets its records right after, and the restart is asked
# for after the installation.
def configuration(package):
    sequence, actions, faults = steps(package), board_actions(package), []
    order = ["CostFinalize", "PrepareBoardConfiguration", "InstallInitialize", "RestoreBoard", "ConfigureBoard",
             "ForgetBoardRecord", "InstallFinalize", "RequestRestartForDriver"]
    wanted = {"PrepareBoardConfiguration": DLL_IN_BINARY, "RestoreBoard": DLL_IN_BINARY | ROLLBACK | IN_SCRIPT | NO_IMPERSONATE,
              "ConfigureBoard": DLL_IN_BINARY | IN_SCRIPT | NO_IMPERSONATE,
              "ForgetBoardRecord": DLL_IN_BINARY | COMMIT | IN_SCRIPT | NO_IMPERSONATE | IGNORE_RESULT,
              "RequestRestartForDriver": DLL_IN_BINARY}
    if actions != wanted:
        faults.append("the board's actions and types are %s" % actions)
    missing = [name for name in order if name not in sequence]
    if missing:
        return faults + ["not in the execute sequence: %s" % ", ".join(missing)]
    at = [int(sequence[name]["Sequence"]) for name in order]
    if at != sorted(at) or len(set(at)) != len(at):
        faults.append("the order is %s" % ", ".join("%s %d" % pair for pair in zip(order, at)))
    for name in wanted:
        for what, given, board in cases():
            if condition_holds(sequence[name]["Condition"], given) != board:
                faults.append("%s %s with %s" % (name, "does not run" if board else "runs", what))
    return faults


# Every deferred action that changes the system as the installer's service
# has a rollback action scheduled right before it, under the same condition.
def rollback(package):
    sequence, faults = steps(package), []
    kinds = {row["Action"]: int(row["Type"]) for row in package.table("CustomAction") if row["Action"] in sequence}
    ordered = sorted(kinds, key=lambda name: int(sequence[name]["Sequence"]))
    for i, name in enumerate(ordered):
        kind = kinds[name]
        if kind & IN_SCRIPT and kind & NO_IMPERSONATE and not kind & (ROLLBACK | COMMIT):
            before = ordered[i - 1] if i else None
            if before is None or not kinds[before] & ROLLBACK or \
                    sequence[before]["Condition"] != sequence[name]["Condition"]:
                faults.append("%s has no rollback right before it (%s)" % (name, before))
    return faults


RULES = {"pasted": pasted, "shared folders": shared_folders, "administrator": administrator,
         "rollback disabled": rollback_disabled, "digest": digest, "configuration": configuration, "rollback": rollback}
