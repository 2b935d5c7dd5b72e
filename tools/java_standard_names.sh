#!/usr/bin/env bash
# Writes src/exercise/JavaStandardNames.cpp: the simple names of the public classes and interfaces
# of java.lang, java.util and java.io of the JDK on the PATH, with the names later long-term JDKs
# added there. Run it again when the JDK the package depends on changes.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
javac -d "$work" tools/java/ListPublicTypes.java
{
  java -cp "$work" ListPublicTypes java.lang java.util java.io
  # JDK 21: sequenced collections, and the exceptions of pattern matching and virtual threads.
  printf '%s\n' MatchException WrongThreadException SequencedCollection SequencedMap SequencedSet
} | LC_ALL=C sort -u >"$work/names"
version=$(javac -version 2>&1)
{
  echo "// Made by tools/java_standard_names.sh from $version; do not edit by hand."
  echo '#include "exercise/JavaStandardNames.h"'
  echo
  echo 'namespace vellaro {'
  echo
  echo 'const std::vector<std::string_view>& JavaStandardNames() {'
  echo '    static const std::vector<std::string_view> names = {'
  sed 's/.*/        "&",/' "$work/names"
  echo '    };'
  echo '    return names;'
  echo '}'
  echo
  echo '} // namespace vellaro'
} >src/exercise/JavaStandardNames.cpp
