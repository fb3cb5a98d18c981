# Sourced by the packaging tests: the installed documents read as they do in
# the sources. Every relative link of every installed Markdown page (inline,
# reference and HTML, outside code) leads to something inside the documents
# folder, and every file in its subfolders is reached by a link.
check_doc_links() {  # documents folder
  local doc page link target bad=0 reached=()
  doc=$(realpath "$1")
  while IFS= read -r -d '' page; do
    while IFS= read -r link; do
      if [[ $link == \<*\>* ]]; then link=${link#<} && link=${link%%>*}; else link=${link%%[[:space:]]*}; fi
      link=${link%%[#?]*}
      [[ -z $link || $link =~ ^[A-Za-z][A-Za-z0-9+.-]*: || $link == /* ]] && continue
      target=$(realpath -m "$(dirname "$page")/${link//%20/ }")
      if [[ $target != "$doc"/* || ! -e $target ]]; then
        echo "${page#"$doc"/}: the link $link does not hold"
        bad=1
      fi
      reached+=("$target")
    done < <(awk '/^[ ]*```/ { code = !code; next } !code' "$page" | sed 's/`[^`]*`//g' |
      grep -oE '\]\([^)]*\)|^ *\[[^]]+\]: *.*|(src|href)="[^"]*"' |
      sed -E 's/^\]\((.*)\)$/\1/; s/^ *\[[^]]+\]: *//; s/^(src|href)="(.*)"$/\2/')
  done < <(find "$doc" -name '*.md' -print0)
  [ "$bad" = 0 ] || fail "links of the installed documents do not hold"
  # Nothing in a subfolder that no page links to.
  local file r found
  while IFS= read -r -d '' file; do
    found=0
    for r in "${reached[@]}"; do [[ $file == "$r" || $file == "$r"/* ]] && found=1 && break; done
    [ "$found" = 1 ] || fail "installed but linked from no page: ${file#"$doc"/}"
  done < <(find "$doc" -mindepth 2 -type f -print0)
  echo "${#reached[@]} links of the installed documents hold"
}
