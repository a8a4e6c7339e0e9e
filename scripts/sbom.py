#!/usr/bin/env python3
"""Writes a CycloneDX 1.5 bill of materials (JSON) for one release artifact.

    sbom.py ARTIFACT COMPONENTS.tsv COPYRIGHT_DIR PROJECT_COPYRIGHT VERSION OUT

COMPONENTS.tsv is the record that the build writes of what it links in
(scripts/build-windows-deps.sh for the Windows program, scripts/release.sh for
the Debian package): component, version, Debian source, upstream tarball,
its SHA-256, Debian copyright file (in COPYRIGHT_DIR) and the parts of the
source built in. Every value comes from there; the licences come from the
Debian copyright files. The time is SOURCE_DATE_EPOCH's, so that two builds
of one commit write the same bytes.
"""
import datetime
import fnmatch
import hashlib
import json
import os
import re
import sys
import uuid

# Copyright files that are not machine-readable state the licence of the
# runtime libraries in prose; these are the statements recognised, with the
# licence each one gives to the parts (libraries) that the text names.
STATEMENTS = [
    ("GCC Runtime Library Exception", "GPL-3+ with GCC-exception-3.1"),
    ("GNU Lesser General Public License", "LGPL-2.1+"),
]

SPDX = {"Apache-2": "Apache-2.0", "Apache-2.0": "Apache-2.0", "Expat": "MIT", "expat": "MIT",
        "MIT": "MIT", "ISC": "ISC", "OpenSSL": "OpenSSL", "ZPL-2.1": "ZPL-2.1",
        "BSD-2-clause": "BSD-2-Clause", "BSD-3-clause": "BSD-3-Clause", "Zlib": "Zlib",
        "GCC-exception-3.1": "GCC-exception-3.1"}


def spdx_id(name):
    """The SPDX identifier of a Debian licence name, or a LicenseRef for it."""
    if name in SPDX:
        return SPDX[name]
    gpl = re.fullmatch(r"(L?GPL)-(\d)(\.\d)?(\+?)", name)
    if gpl:
        family, major, minor, later = gpl.groups()
        return "%s-%s%s-%s" % (family, major, minor or ".0", "or-later" if later else "only")
    return "LicenseRef-Debian-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def expression(names):
    """One SPDX expression for the Debian licence names that apply."""
    terms = []
    for name in sorted(set(names)):
        words = re.split(r"\s+(or|and|with)\s+", name, flags=re.I)
        term = " ".join(w.upper() if i % 2 else spdx_id(w) for i, w in enumerate(words))
        terms.append("(%s)" % term if len(names) > 1 and len(words) > 1 else term)
    return " AND ".join(terms)


def paragraphs(text):
    for block in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for line in block.splitlines():
            if line.startswith((" ", "\t")) and key:
                fields[key] += "\n" + line.strip()
            elif ":" in line and not line.startswith("#"):
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        yield fields


def applies(pattern, part):
    """A Files pattern covers a part: a file, or a folder ending in "/"."""
    return (pattern == "*" or fnmatch.fnmatchcase(part, pattern) or pattern.startswith(part)
            or (pattern.endswith("/*") and part.startswith(pattern[:-1])))


def licences(text, parts):
    """The licences that a Debian copyright file gives to the parts built in.

    A machine-readable file: every Files paragraph that covers one of the
    parts ("-": every paragraph but those of the packaging and of tests). Any
    other: the licence of a recognised statement, when the text names each part.
    """
    if text.startswith("Format:"):
        found = []
        for fields in paragraphs(text):
            if "Files" not in fields or "License" not in fields:
                continue
            patterns = fields["Files"].split()
            if parts == ["-"]:
                wanted = not all(p.startswith("debian/") or "test" in p for p in patterns)
            else:
                wanted = any(applies(p, q) for p in patterns for q in parts)
            if wanted:
                found.append(fields["License"].splitlines()[0].strip())
        return found
    flat = " ".join(text.split())
    for statement, licence in STATEMENTS:
        if statement in flat and all(part in flat for part in parts if part != "-"):
            return [licence]
    raise SystemExit("no licence recognised in a copyright file for parts %s" % parts)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main(artifact, components_tsv, copyright_dir, project_copyright, version, out):
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    digest = sha256(artifact)
    # The program's own files (Files: *); what is built into it has paragraphs
    # of its own there and is a component of its own here.
    with open(project_copyright, encoding="utf-8") as f:
        own = expression(licences(f.read(), ["*"]))
    components = []
    with open(components_tsv, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]
    for name, comp_version, debian_source, tarball, tarball_sha256, copyright_file, parts in rows:
        with open(os.path.join(copyright_dir, copyright_file), encoding="utf-8") as f:
            found = licences(f.read(), parts.split())
        source, source_version = debian_source.split()
        component = {
            "type": "library",
            "bom-ref": name,
            "name": name,
            "version": comp_version,
            "licenses": [{"expression": expression(found)}],
            "purl": "pkg:deb/debian/%s@%s?arch=source" % (source, source_version),
            "properties": [
                {"name": "debian:source", "value": debian_source},
                {"name": "debian:copyright", "value": copyright_file},
                {"name": "debian:licenses", "value": "; ".join(sorted(set(found)))},
            ],
        }
        if tarball != "-":
            component["externalReferences"] = [{
                "type": "distribution",
                "url": tarball,
                "comment": "upstream source it was built from, as in Debian's source package "
                           "%s %s" % (source, source_version),
                "hashes": [{"alg": "SHA-256", "content": tarball_sha256}],
            }]
        else:
            component["properties"].append(
                {"name": "debian:source-tarball",
                 "value": "no longer listed in Debian's source index where this was built"})
        components.append(component)
    main_ref = os.path.basename(artifact)
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": "urn:uuid:%s" % uuid.uuid5(uuid.NAMESPACE_URL, "sha256:" + digest),
        "version": 1,
        "metadata": {
            "timestamp": datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
                                          .strftime("%Y-%m-%dT%H:%M:%SZ"),
            "component": {
                "type": "application",
                "bom-ref": main_ref,
                "name": "cspTRIL",
                "version": version,
                "supplier": {"name": "TRIL"},
                "licenses": [{"expression": own}],
                "hashes": [{"alg": "SHA-256", "content": digest}],
                "properties": [{"name": "file", "value": main_ref}],
            },
        },
        "components": components,
        "dependencies": [{"ref": main_ref, "dependsOn": [c["bom-ref"] for c in components]}]
                        + [{"ref": c["bom-ref"]} for c in components],
    }
    with open(out, "w", encoding="utf-8") as f:
        json.dump(bom, f, indent=2, ensure_ascii=False)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 7:
        raise SystemExit(__doc__)
    main(*sys.argv[1:])
