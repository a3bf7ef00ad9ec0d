"""The rules for the packages' board set-up (the QB480_* properties and the
actions of qb480cfgmsi.dll) that Wine's msiexec does not enforce, read from
the tables as ice_rules.py reads the validation rules. Each rule takes a
Package and returns its faults as text: none when the package keeps it."""
import re

BOARD_PROPERTIES = ("QB480_MEMSEG", "QB480_PORT", "QB480_IRQ", "QB480_PREFIX", "QB480_FIRST", "QB480_SETTINGS")
DLL_IN_BINARY, ERROR_ACTION = 1, 19
ROLLBACK, COMMIT, IN_SCRIPT, NO_IMPERSONATE = 0x100, 0x200, 0x400, 0x800
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
    sequence, types = steps(package), {row["Action"]: int(row["Type"]) for row in package.table("CustomAction")}
    refusals = [name for name, kind in types.items() if kind & 0x3F == ERROR_ACTION and name in sequence]
    if len(refusals) != 1:
        return faults + ["%d error actions in the execute sequence, not one" % len(refusals)]
    refusal = sequence[refusals[0]]
    first = min([int(sequence[name]["Sequence"]) for name in board_actions(package) if name in sequence] +
                [int(sequence.get("InstallInitialize", {"Sequence": 0})["Sequence"])])
    if int(refusal["Sequence"]) >= first:
        faults.append("%s runs at %s, not before InstallInitialize and the board's actions (%d)"
                      % (refusals[0], refusal["Sequence"], first))
    if any(row["Action"] == refusals[0] for row in package.table("InstallUISequence")):
        faults.append("%s runs in the user-interface sequence, before an administrator is elevated" % refusals[0])
    for what, given, board in cases():
        for admin in ("", "1"):
            runs = condition_holds(refusal["Condition"], dict(given, AdminUser=admin))
            if runs != (board and not admin):
                faults.append("%s %s with %s and AdminUser %r" % (refusals[0], "runs" if runs else "does not run",
                                                                  what, admin))
    return faults


# The configuration runs only with a board property given and never at a
# removal, as the installer's service; its values are handed over before
# anything is installed, the record of the board is read with them, the
# rollback is scheduled right before it, and the restart is asked for after
# the installation.
def configuration(package):
    sequence, actions, faults = steps(package), board_actions(package), []
    order = ["CostFinalize", "PrepareBoardConfiguration", "InstallInitialize", "RestoreBoard", "ConfigureBoard",
             "InstallFinalize", "RequestRestartForDriver"]
    wanted = {"PrepareBoardConfiguration": DLL_IN_BINARY, "RestoreBoard": DLL_IN_BINARY | ROLLBACK | IN_SCRIPT | NO_IMPERSONATE,
              "ConfigureBoard": DLL_IN_BINARY | IN_SCRIPT | NO_IMPERSONATE, "RequestRestartForDriver": DLL_IN_BINARY}
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
         "configuration": configuration, "rollback": rollback}
