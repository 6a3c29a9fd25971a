# shellcheck shell=bash disable=SC2034,SC2154
# The web folder of examples/web-subproject served over HTTP on 127.0.0.1,
# sourced after common.sh.

# e2e_serve_web DEST LOG: stages the example in DEST and serves its web folder
# on a free port (DEST/port.txt) until the script ends; the server's output
# goes to LOG. Waits up to 20 s for it to listen, else ends the script.
e2e_serve_web() {
    bash "$source_dir/examples/web-subproject/serve.sh" "$1" >"$2" 2>&1 &
    e2e_at_exit e2e_stop $!
    for _ in $(seq 200); do
        [ -s "$1/port.txt" ] && return 0
        sleep 0.1
    done
    cat "$2"
    echo "the web folder's server did not start" >&2
    exit 1
}
