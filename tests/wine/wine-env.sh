# Sourced with the bench's state directory: the environment of every Wine process in a test run.
# Never the user's ~/.wine: the prefix lives in the build tree.
# Wine wants an absolute prefix path; a relative state directory is resolved here.
_brx_state=$(cd "$1" 2>/dev/null && pwd || echo "$1")
export WINEPREFIX="$_brx_state/prefix"
export WINEARCH=win64
export WINEDEBUG=${BRX_WINEDEBUG:--all}
# No Mono/Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -f "$_brx_state/display" ]; then
  export DISPLAY=$(cat "$_brx_state/display")
fi
unset _brx_state
