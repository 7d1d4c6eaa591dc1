"""The project's tests. The Python ones run as modules from the source tree, e.g.
python3 -m tests.system.scenarios; tests.system is the Wine harness the others import."""
