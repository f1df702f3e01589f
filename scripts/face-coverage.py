"""Functions of the device face's headers that ran, from gcov's JSON of every
object built against the face. A function is counted once however many
binaries inline it; it ran if it ran in any of them."""
import gzip
import json
import os
import subprocess
import sys
import tempfile

build, face = (os.path.abspath(argument) for argument in sys.argv[1:3])
functions = {}  # (file, line, name) -> ran
notes = []
for folder, _, files in os.walk(build):
    notes += [os.path.join(folder, name) for name in files if name.endswith(".gcno")]
with tempfile.TemporaryDirectory() as scratch:
    for note in notes:
        subprocess.run(["gcov", "--json-format", "--demangled-names", "--object-directory", os.path.dirname(note), note],
                       cwd=scratch, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        for produced in os.listdir(scratch):
            path = os.path.join(scratch, produced)
            if produced.endswith(".gcov.json.gz"):
                with gzip.open(path, "rt") as stream:
                    report = json.load(stream)
                for source in report.get("files", []):
                    name = os.path.realpath(os.path.join(report.get("current_working_directory", ""), source["file"]))
                    if not name.startswith(face + os.sep):
                        continue
                    for function in source.get("functions", []):
                        key = (os.path.relpath(name, face), function["start_line"], function["demangled_name"])
                        functions[key] = functions.get(key, False) or function["execution_count"] > 0
            os.remove(path)

if not functions:
    sys.exit("face-coverage: no counts found under " + build)
# Template instances of one function count as one function.
by_place = {}
for (file, line, name), ran in functions.items():
    by_place.setdefault((file, line), []).append((name, ran))
ran = sum(1 for entries in by_place.values() if any(r for _, r in entries))
print(f"device face: {ran} of {len(by_place)} functions ran ({100.0 * ran / len(by_place):.1f}%)")
for (file, line), entries in sorted(by_place.items()):
    if not any(r for _, r in entries):
        print(f"  never ran: {file}:{line} {entries[0][0]}")
