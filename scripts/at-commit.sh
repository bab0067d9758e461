# shellcheck shell=bash
# Sourced by the scripts that compare lignado-cli at a base commit with the working tree
# (scripts/site-digests.sh, bench/site-floor.sh), from the root of the repository.
#   at_commit_start BASE PARENT NAME   sets base_commit and work (a scratch folder in PARENT,
#                                      removed on exit) and checks BASE out in $work/base
#   at_commit_build SOURCE BUILD BENCH TARGET...   a Release build (BENCH: ON or OFF) that
#                                      shares the compiler cache of the other builds

at_commit_start() {
  base_commit=$(git rev-parse --verify "$1^{commit}")
  work=$(mktemp -d "$2/$3.XXXXXX")
  trap at_commit_cleanup EXIT
  if ! git worktree add --detach "$work/base" "$base_commit" >/dev/null 2>&1; then
    echo "Impossible d'extraire le commit $1 dans $work/base" >&2
    exit 2
  fi
}

at_commit_cleanup() {
  git worktree remove --force "$work/base" >/dev/null 2>&1 || true
  rm -rf "$work"
}

at_commit_build() {
  local src=$1 dir=$2 bench=$3 launcher=()
  shift 3
  if [ -f /work/ccache.env ]; then source /work/ccache.env; fi
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLIGNADO_GUI=OFF -DLIGNADO_TESTS=OFF \
    -DLIGNADO_BENCH="$bench" -DLIGNADO_WERROR=OFF "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target "$@" >/dev/null
}
