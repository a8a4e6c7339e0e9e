# A cache of built dependencies outside the checkout: one folder per key (the
# key covers everything that shapes what is built), complete when it holds
# .complete. One build at a time writes to a cache; the last used entries are
# kept and the others removed, except one that a build holds at that moment (a
# shared lock on its .complete, as scripts/use-windows-deps.sh takes). Sourced
# by the scripts that build into such a cache; they define log().
#   deps_cache_open ROOT KEY KEEP   takes the cache's lock until the script ends,
#                                   sets deps_cache_entry (ROOT/KEY)
#   deps_cache_found                true when the entry is complete (then marked
#                                   used, the others pruned)
#   deps_cache_staging              a fresh folder to build the entry in
#   deps_cache_commit               the staging folder made the entry

deps_cache_open() {
  deps_cache_root=$1 deps_cache_entry=$1/$2 deps_cache_keep=$3
  mkdir -p "$deps_cache_root"
  exec 9> "$deps_cache_root/.lock"
  flock 9  # one build at a time; a second caller then finds the finished entry
}

# Keeps the most recently used entries (this one among them) and removes the
# rest, each only when no build holds it. Runs under the cache lock, so a
# staging folder left here is one that an interrupted build left behind.
deps_cache_prune() {
  local entry kept=1
  rm -rf "$deps_cache_root"/.staging-*
  while IFS= read -r entry; do
    entry="$(dirname "$entry")"
    [ "$entry" != "$deps_cache_entry" ] || continue
    if [ "$kept" -lt "$deps_cache_keep" ]; then kept=$((kept + 1)); continue; fi
    if (exec 8< "$entry/.complete" && flock -x -n 8 && rm -rf "$entry"); then
      log "Pruned $entry (not among the $deps_cache_keep last used)"
    else
      log "Kept $entry: a build is using it"
    fi
  done < <(ls -1dt "$deps_cache_root"/*/.complete 2> /dev/null)
}

deps_cache_found() {
  [ -f "$deps_cache_entry/.complete" ] || return 1
  touch "$deps_cache_entry/.complete"
  deps_cache_prune
}

deps_cache_staging() {
  deps_cache_staged="$deps_cache_root/.staging-$(basename "$deps_cache_entry")"
  rm -rf "$deps_cache_staged"
  mkdir -p "$deps_cache_staged"
}

deps_cache_commit() {
  touch "$deps_cache_staged/.complete"
  rm -rf "$deps_cache_entry"
  mv "$deps_cache_staged" "$deps_cache_entry"
  deps_cache_prune
}
