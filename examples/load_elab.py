#!/usr/bin/env python3
"""Load an elab.dat training file into named columns: the loader of the
module elab (elab.load), run as a script.

    python3 load_elab.py elab.dat                  # layout, records, column summary
    python3 load_elab.py elab.dat --plot elab.png  # every column against the record index
    python3 load_elab.py elab.dat --dates dates.txt --plot elab.png  # ... against the day

Without the module installed, the loader is taken from the source tree
(python/elab/load.py); it needs numpy only.
"""

import importlib.util
import os
import sys

try:
    from elab.load import load, main
except ImportError:
    _source = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                           os.pardir, "python", "elab", "load.py")
    _spec = importlib.util.spec_from_file_location("elab_load", _source)
    _loader = importlib.util.module_from_spec(_spec)
    _spec.loader.exec_module(_loader)
    load, main = _loader.load, _loader.main

load_elab = load

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
