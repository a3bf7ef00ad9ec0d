#!/usr/bin/env bash
# Builds the installer package of one architecture from a staged release:
#   tools/make-msi.sh x86|x64 VERSION STAGE OUT.msi [SOURCE.wxs]
# SOURCE defaults to packaging/qb480.wxs; the package checks build faulty
# variants of it.
# STAGE holds qb480.cpl, qb480load.exe, qb480cfg.exe, qb480msg.dll, qb480cfgmsi.dll, guide.html
# and the screenshots the guide shows (screenshots/*.png), as packed into the zip. The product code
# is derived from the architecture and the version, so that a rebuilt
# package of a version has the product code of that version.
set -euo pipefail

arch=$1 version=$2
stage=$(realpath "$3")
out=$(realpath -m "$4")
root=$(realpath "$(dirname "$0")/..")
source=$(realpath "${5:-$root/packaging/qb480.wxs}")
case $arch in x86|x64) ;; *) echo "make-msi: architecture $arch is neither x86 nor x64" >&2; exit 2 ;; esac
for file in qb480.cpl qb480load.exe qb480cfg.exe qb480msg.dll qb480cfgmsi.dll guide.html; do
    [ -f "$stage/$file" ] || { echo "make-msi: $stage/$file is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The time of every stamp in the package (SOURCE_DATE_EPOCH, else the commit's).
epoch=$("$root/tools/source-date-epoch.sh")

# wixl takes source paths relative to its working folder only.
cp "$root/applet/qb480.ico" "$work/qb480.ico"
ln -s "$stage" "$work/stage"
{
    echo '<Include>'
    index=0
    for image in "$stage"/screenshots/*.png; do
        [ -e "$image" ] || continue
        index=$((index + 1))
        name=$(basename "$image")
        # The first image is the component's key.
        key=$([ $index = 1 ] && echo ' KeyPath="yes"' || true)
        echo "  <File Id=\"screenshot$index\" Name=\"$name\" Source=\"\$(var.Stage)/screenshots/$name\"$key/>"
    done
    echo '</Include>'
} >"$work/images.wxi"
[ "$(grep -c '<File' "$work/images.wxi")" -gt 0 ] || { echo "make-msi: $stage/screenshots holds no image" >&2; exit 1; }

# Fixed for good, like the upgrade codes in packaging/qb480.wxs.
product_namespace=C5E0A9D2-4B17-4E8C-A3F6-71D2B08E5C94
product_code=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
               "$product_namespace" "qb480-$arch-$version")

rm -f "$out"
# wixl's GLib prints warnings for attributes it reads as defaults; only its
# own errors matter, and they end it with a failure.
(cd "$work" && TZ=UTC wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$product_code" \
    -D Stage=stage -D Icon=qb480.ico -D Images="$work/images.wxi" -o "$out" "$source") \
    2>"$work/wixl.log" || { cat "$work/wixl.log" >&2; exit 1; }
[ -s "$out" ] || { cat "$work/wixl.log" >&2; echo "make-msi: wixl wrote no $out" >&2; exit 1; }
# wixl reads no version resources.
python3 "$root/tools/msi-file-versions.py" "$out" qb480.cpl="$stage/qb480.cpl" qb480load.exe="$stage/qb480load.exe" \
    qb480cfg.exe="$stage/qb480cfg.exe" qb480msg.dll="$stage/qb480msg.dll" \
    || { rm -f "$out"; exit 1; }
# The event source's message file and its values stay when the package is
# removed, and its two paths are REG_EXPAND_SZ; wixl writes neither.
# "Installing Permanent Components, Files, Fonts, Registry Keys": the whole
# component is made permanent by msidbComponentAttributesPermanent (16) in
# Component.Attributes ("Component Table"). "Registry Table", Value column:
# a value that begins with #% is stored as REG_EXPAND_SZ.
message_path='%SystemRoot%\System32\qb480msg.dll'
attributes=$(msiinfo export "$out" Component | awk -F'\t' '$1 == "MessageFile" { print $4 }' | tr -d '\r')
[ -n "$attributes" ] || { echo "make-msi: $source has no MessageFile component" >&2; rm -f "$out"; exit 1; }
permanent=$((attributes | 16))
msibuild "$out" -q "UPDATE \`Component\` SET \`Attributes\` = $permanent WHERE \`Component\` = 'MessageFile'" \
    -q "UPDATE \`Registry\` SET \`Value\` = '#%$message_path' WHERE \`Component_\` = 'MessageFile' AND \`Value\` = '$message_path'" \
    || { rm -f "$out"; exit 1; }
# An UPDATE that matches no row succeeds: read back what the tables say.
expanded=$(msiinfo export "$out" Registry | tr -d '\r' | awk -F'\t' -v want="#%$message_path" \
           '$6 == "MessageFile" && ($4 == "EventMessageFile" || $4 == "CategoryMessageFile") && $5 == want' | wc -l)
msiinfo export "$out" Component | tr -d '\r' | awk -F'\t' -v want="$permanent" '$1 == "MessageFile" && $4 == want' |
    grep -q . && [ "$expanded" = 2 ] \
    || { echo "make-msi: the MessageFile component is not permanent or its two paths not REG_EXPAND_SZ" >&2; rm -f "$out"; exit 1; }
# The board's properties that packaging/qb480.wxs passes to the configurator
# go to the installer's service in every installation, managed ones
# included; wixl lists only the upgrade's properties and ignores Secure="yes".
secure=$(msiinfo export "$out" Property | awk -F'\t' '$1 == "SecureCustomProperties" { print $2 }' | tr -d '\r')
# QB480_REASON goes with them, for the audit trail; alone it sets nothing up.
board=QB480_MEMSEG\;QB480_PORT\;QB480_IRQ\;QB480_PREFIX\;QB480_FIRST\;QB480_SETTINGS
msibuild "$out" -q "UPDATE \`Property\` SET \`Value\` = '${secure:+$secure;}$board;QB480_REASON' WHERE \`Property\` = 'SecureCustomProperties'" \
    || { rm -f "$out"; exit 1; }
# RestoreBoard is ConfigureBoard's rollback and ForgetBoardRecord its
# commit action: wixl writes neither kind.
rollback=$((0x1 | 0x100 | 0x400 | 0x800))  # a DLL in the Binary table, rollback, in the script, as the service
commit=$((0x1 | 0x200 | 0x400 | 0x800 | 0x40))  # the same, commit, its result ignored
msibuild "$out" -q "UPDATE \`CustomAction\` SET \`Type\` = $rollback WHERE \`Action\` = 'RestoreBoard'" \
    -q "UPDATE \`CustomAction\` SET \`Type\` = $commit WHERE \`Action\` = 'ForgetBoardRecord'" \
    || { rm -f "$out"; exit 1; }
actions=$(msiinfo export "$out" CustomAction)
grep -q "^RestoreBoard	$rollback	" <<<"$actions" && grep -q "^ForgetBoardRecord	$commit	" <<<"$actions" \
    || { echo "make-msi: $source has no RestoreBoard or ForgetBoardRecord action to mark" >&2; rm -f "$out"; exit 1; }
# The digest of the package's own configurator, which the action compares
# with the file it starts: a private property (lower-case letters), which
# no command line sets.
digest=$(sha256sum "$stage/qb480cfg.exe" | cut -d' ' -f1)
msibuild "$out" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('Qb480CfgSha256', '$digest')" \
    || { rm -f "$out"; exit 1; }
# Only an administrator sets the board up through the package: a board
# property given by a user whose AdminUser is not set (a managed or
# "always elevated" installation by a standard user) stops the installation
# before anything is installed, before packaging/qb480.wxs hands the values
# over. An error action (type 19), in the execute sequence only: in the
# user-interface sequence an administrator is not elevated yet. wixl writes
# no error actions.
given="(${board//;/ OR })"
refusal="Only an administrator can set up the QB480 board during the installation. Install as an administrator, or without the QB480_ properties."
# Rollback actions do not run while rollback is disabled, and the page
# "Rollback Custom Actions" asks a package that needs them to stop then.
no_rollback="Setting up the QB480 board during the installation needs rollback, which is disabled (DISABLEROLLBACK, or the DisableRollback policy). Install with rollback enabled, or without the QB480_ properties and then run qb480cfg.exe."
msibuild "$out" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('RefuseBoardWithoutAdministrator', 19, '', '$refusal')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RefuseBoardWithoutAdministrator', '$given AND NOT AdminUser AND NOT (REMOVE~=\"ALL\")', 1001)" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('RefuseBoardWithoutRollback', 19, '', '$no_rollback')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RefuseBoardWithoutRollback', '$given AND RollbackDisabled AND NOT (REMOVE~=\"ALL\")', 999)" \
    || { rm -f "$out"; exit 1; }
# wixl writes long names only.
python3 "$root/tools/msi-short-names.py" "$out" || { rm -f "$out"; exit 1; }
# Last: the build's times out, the commit's in, and the package code from
# the package's contents (the same package, the same bytes).
python3 "$root/tools/msi-reproducible.py" "$out" "$epoch" >/dev/null || { rm -f "$out"; exit 1; }
