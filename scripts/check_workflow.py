#!/usr/bin/env python3
"""check_workflow.py SOURCE_DIR: checks .github/workflows/windows.yml, which only a hosted
Windows runner can run: yamllint for the YAML itself, then the keys that decide what the run
does, against the tree it would build (where CMake puts the program, which labels exist).
Exits non-zero, naming each fault, when one is found."""
import pathlib
import re
import subprocess
import sys

try:
    import yaml
except ImportError:
    sys.exit("check_workflow: python3-yaml is missing: make setup installs it")

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
workflow = root / ".github" / "workflows" / "windows.yml"
faults = []

# The project's 110 columns; "on:" is GitHub's key, not a truth value.
lint_config = "{extends: default, rules: {line-length: {max: 110}, document-start: disable, truthy: {check-keys: false}}}"
lint = subprocess.run([sys.executable, "-m", "yamllint", "-f", "parsable", "-d", lint_config, str(workflow)],
                      capture_output=True, text=True)
if "No module named yamllint" in lint.stderr:
    sys.exit("check_workflow: yamllint is missing: make setup installs it")
if lint.returncode != 0:
    faults.append("yamllint:\n" + (lint.stdout + lint.stderr).strip())

data = yaml.safe_load(workflow.read_text(encoding="utf-8"))
triggers = data.get("on", data.get(True)) or {}  # YAML 1.1 reads a bare on as true
for event in ("push", "pull_request"):
    if event not in triggers:
        faults.append(f"not run on {event}")

jobs = [job for job in (data.get("jobs") or {}).values() if job.get("runs-on") == "windows-2022"]
if len(jobs) != 1:
    faults.append(f"{len(jobs)} jobs on windows-2022, not one")
steps = jobs[0].get("steps", []) if jobs else []
runs = [step for step in steps if "run" in step]
uses = [step for step in steps if "uses" in step]

if not uses or not uses[0]["uses"].startswith("actions/checkout@"):
    faults.append("the first action is not actions/checkout")

build = next((step for step in runs if "cmake --build" in step["run"]), None)
if build is None:
    faults.append("no step builds with cmake --build")
else:
    script = build["run"]
    if build.get("shell") != "cmd":
        faults.append("the build step does not run in cmd, where vcvars64.bat sets the developer shell")
    for needed in ("vswhere.exe", "vcvars64.bat", "-G Ninja", "-DCMAKE_BUILD_TYPE=Release"):
        if needed not in script:
            faults.append(f"the build step lacks {needed}")
    # cmd goes on after a failing line: each line must end the step itself.
    for line in script.strip().splitlines():
        if line.startswith(("call ", "cmake ")) and not line.rstrip().endswith("|| exit /b 1"):
            faults.append(f"a failure of this line would not end the step: {line}")

test = next((step for step in runs if step["run"].lstrip().startswith("ctest")), None)
labels = set()
for cmake_file in [root / "CMakeLists.txt", *root.glob("*/CMakeLists.txt")]:
    labels.update(re.findall(r"\bLABELS\s+(\w+)", cmake_file.read_text(encoding="utf-8")))
if test is None:
    faults.append("no step runs ctest")
else:
    excluded = re.search(r'-LE\s+"([^"]+)"', test["run"])
    for label in ("soak", "bench", "wine"):
        if label not in labels:
            faults.append(f"no test in the tree is labelled {label}")
        if not excluded or not re.search(excluded.group(1), label):
            faults.append(f"ctest runs the tests labelled {label}")

program_folder = re.search(r"CMAKE_RUNTIME_OUTPUT_DIRECTORY \$\{CMAKE_BINARY_DIR\}/(\w+)",
                           (root / "CMakeLists.txt").read_text(encoding="utf-8"))
expected = f"build/{program_folder.group(1) if program_folder else '?'}/Quorvane.exe"
uploads = [step.get("with", {}) for step in uses if step["uses"].startswith("actions/upload-artifact@")]
if not any(upload.get("path") == expected and upload.get("if-no-files-found") == "error" for upload in uploads):
    faults.append(f"no upload of {expected} that fails when it is missing")

if faults:
    print(f"{workflow}:\n  " + "\n  ".join(faults))
    sys.exit(1)
print(f"{workflow}: {len(steps)} steps, as expected")
