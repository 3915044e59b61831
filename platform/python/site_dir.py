"""Prints where, under the installation prefix given, python3 looks for packages: Debian's
dist-packages for /usr (the .deb) and /usr/local, site-packages elsewhere (then PYTHONPATH)."""
import os
import sys
import sysconfig

prefix = os.path.normpath(sys.argv[1])
schemes = sysconfig.get_scheme_names()
if prefix == "/usr" and "deb_system" in schemes:
    path = sysconfig.get_path("platlib", "deb_system", {"base": prefix, "platbase": prefix})
elif prefix == "/usr/local" and "posix_local" in schemes:
    path = sysconfig.get_path("platlib", "posix_local", {"base": "/usr", "platbase": "/usr"})
else:
    path = sysconfig.get_path("platlib", "posix_prefix", {"base": prefix, "platbase": prefix})
print(os.path.relpath(path, prefix))
