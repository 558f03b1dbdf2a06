# Sourced first by the scripts that start Wine programs: runs the calling script again with
# the address-space layout fixed (setarch -R), which every Wine process started below it
# inherits, services and the programs they start included.
# Debian's Wine has no preloader, so nothing keeps the kernel off the addresses Wine needs.
# With the layout randomised the loader's heap can begin anywhere in the gigabyte above it,
# and about one Wine process in a few thousand finds it lying on the shared user data's
# fixed address: the process dies before it starts ("failed to map the shared user data",
# silent under WINEDEBUG=-all), and CreateProcess answers ERROR_INTERNAL_ERROR.
if [ $((0x$(cat /proc/self/personality) & 0x0040000)) -eq 0 ]; then
  # A sandbox may forbid the change (a container's system-call filter): go on, and say so.
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    exec setarch "$(uname -m)" -R "$0" "$@"
  fi
  echo "$(basename "$0"): the address-space layout cannot be fixed here, so a Wine process may now and then fail to start" >&2
fi
