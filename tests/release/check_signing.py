#!/usr/bin/env python3
"""Signs a release with a throwaway code-signing certificate and checks
every signature with osslsigncode, as a signing policy would.

usage: check_signing.py VERSION

Packs the release binaries again with tools/pack-release.sh (they must be
built, and the screenshots taken, by tools/release.sh), three times into a
scratch folder: signed, without a certificate, and with a wrong password. Prints one line
per check and a closing line "signing: N passed, M failed".
"""
import os
import subprocess
import sys
import tempfile
import zipfile

from check_release import Checks

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PASSWORD = "qb480-test-only"
SUBJECT = "QB480 throwaway test signer"
PROGRAMS = ("qb480.cpl", "qb480load.exe", "qb480cfg.exe")


def run(*args, env=None):
    return subprocess.run(args, capture_output=True, text=True, errors="replace", env=env)


def make_certificate(folder):
    key, cert, p12 = (os.path.join(folder, name) for name in ("key.pem", "cert.pem", "signer.p12"))
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
        "-subj", "/CN=" + SUBJECT, "-addext", "extendedKeyUsage=codeSigning", "-addext",
        "keyUsage=critical,digitalSignature")
    run("openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12, "-passout", "pass:" + PASSWORD)
    return cert, p12


def pack(dist, p12=None, password=None):
    env = {k: v for k, v in os.environ.items() if not k.startswith("QB480_SIGN_")}
    if p12:
        env.update(QB480_SIGN_PKCS12=p12, QB480_SIGN_PASSWORD=password)
    return run(os.path.join(ROOT, "tools", "pack-release.sh"), dist, env=env)


def packed_files(dist, version, unpacked):
    """Every program and package a release holds: both MSIs, and the
    programs as the zips and the MSIs carry them."""
    files = []
    for package, arch in (("x86", "i686"), ("x64", "x86_64")):
        msi = os.path.join(dist, "qb480-%s-%s.msi" % (version, package))
        files.append(msi)
        with zipfile.ZipFile(os.path.join(dist, "qb480-%s-%s.zip" % (version, arch))) as z:
            for program in PROGRAMS:
                target = os.path.join(unpacked, "zip-" + arch)
                z.extract("qb480-%s-%s/%s" % (version, arch, program), target)
                files.append(os.path.join(target, "qb480-%s-%s" % (version, arch), program))
        target = os.path.join(unpacked, "msi-" + package)
        subprocess.run(["msiextract", "-C", target, msi], check=True, capture_output=True)
        for dirpath, _, names in os.walk(target):
            files += [os.path.join(dirpath, name) for name in names if name in PROGRAMS]
    return files


def verify(path, cert):
    return run("osslsigncode", "verify", "-CAfile", cert, "-in", path)


def label(path, unpacked):
    return os.path.relpath(path, unpacked) if path.startswith(unpacked) else os.path.basename(path)


def changed_copy(path, folder):
    """A copy with one byte changed inside what the signature covers: the
    product name, UTF-16 in a program's version resource, in the string
    pool of a package."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    marker = "Tessaline".encode("utf-16-le") if not path.endswith(".msi") else b"Tessaline QB480"
    at = data.find(marker)
    if at < 0:
        return None
    data[at] ^= 0x20
    copy = os.path.join(folder, "changed-" + os.path.basename(path))
    with open(copy, "wb") as f:
        f.write(data)
    return copy


def main():
    version = sys.argv[1]
    checks = Checks("signing")
    with tempfile.TemporaryDirectory(prefix="qb480-signing-") as scratch:
        cert, p12 = make_certificate(scratch)
        checks.check(os.path.isfile(p12), "openssl made a throwaway code-signing certificate")

        signed_dist = os.path.join(scratch, "signed")
        result = pack(signed_dist, p12, PASSWORD)
        checks.check(result.returncode == 0 and SUBJECT in result.stdout and "unsigned" not in result.stdout,
                     "pack-release.sh signs with QB480_SIGN_PKCS12 and QB480_SIGN_PASSWORD"
                     + ("" if result.returncode == 0 else ": " + result.stderr.strip()))
        unpacked = os.path.join(scratch, "unpacked")
        files = signed_files = packed_files(signed_dist, version, unpacked) if result.returncode == 0 else []
        wanted = 2 + 2 * 2 * len(PROGRAMS)
        checks.check(len(files) == wanted, "the release holds 2 packages and %d programs (%d)" % (wanted - 2, len(files)))
        for path in files:
            verified = verify(path, cert)
            checks.check(verified.returncode == 0 and SUBJECT in verified.stdout,
                         "osslsigncode verify: %s is signed by the certificate" % label(path, unpacked))
        for path in files:
            copy = changed_copy(path, scratch)
            verified = verify(copy, cert) if copy else None
            checks.check(verified is not None and verified.returncode != 0 and "MISMATCH" in verified.stdout,
                         "osslsigncode verify: %s with one byte changed fails on its digest" % label(path, unpacked))

        unsigned_dist = os.path.join(scratch, "plain")
        result = pack(unsigned_dist)
        told = [line for line in result.stdout.splitlines() if "unsigned" in line]
        checks.check(result.returncode == 0 and len(told) == 1, "without a certificate the release says so in one line %s" % told)
        files = packed_files(unsigned_dist, version, os.path.join(scratch, "unpacked-plain")) if result.returncode == 0 else []
        checks.check(files and all(verify(path, cert).returncode != 0 for path in files),
                     "without a certificate nothing carries a signature")
        # A signed program is the unsigned one with a signature added: taken
        # off again, the bytes are the rebuilt ones (README, a release against a rebuild).
        plain = {label(path, os.path.join(scratch, "unpacked-plain")): path for path in files}
        for path in signed_files if plain else []:
            name = label(path, unpacked)
            if not name.startswith("zip-"):
                continue
            stripped = os.path.join(scratch, "stripped-" + name.replace("/", "-"))
            run("osslsigncode", "remove-signature", "-in", path, "-out", stripped)
            same = os.path.isfile(stripped) and open(stripped, "rb").read() == open(plain[name], "rb").read()
            checks.check(same, "%s: without its signature, the unsigned program byte for byte" % name)

        refused_dist = os.path.join(scratch, "refused")
        result = pack(refused_dist, p12, "not the password")
        packed = os.listdir(refused_dist) if os.path.isdir(refused_dist) else []
        checks.check(result.returncode != 0 and "cannot open" in result.stderr and not packed,
                     "a wrong password stops the release before anything is packed %s" % packed)

    print("signing: %d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
