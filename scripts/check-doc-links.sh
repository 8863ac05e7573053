#!/bin/sh
# Checks that every relative link and image of the documentation leads somewhere: README.md and
# docs/*.md, each [text](path), ![alt](path) and [name]: path, optionally with #anchor. A path
# must name an existing file or folder, relative to the page it is written in; an anchor must be
# the slug of a heading of the page it points to (or of the same page, for "#anchor" alone), as
# GitHub makes them: lower case, each space a '-', ASCII punctuation other than '-' and '_'
# dropped, a repeated heading's slug followed by -1, -2... Links with a scheme (https:, mailto:)
# are not followed. Fenced code blocks and `code spans` are not read.
#
# Usage: scripts/check-doc-links.sh [DIR]
#   DIR: the tree whose README.md and docs/*.md are checked; default, this checkout.
# Prints one line per broken link, "FILE:LINE: TARGET", and ends with 1; with 0 when every link
# resolves; with 2 on a usage error.
#
# Not followed: links in HTML (<a href>, <img src>) and setext headings (underlined with === or
# ---); non-ASCII characters of a heading are kept as they are, where GitHub drops non-ASCII
# punctuation (so a heading with "…" or "▸" cannot be linked to here).
set -eu

case $# in
0) cd "$(dirname "$0")/.." ;;
1) cd "$1" ;;
*)
    echo "usage: $0 [DIR]" >&2
    exit 2
    ;;
esac

export LC_ALL=C

# FILE's links, one "LINE<TAB>TARGET" a line, the target without its title.
links() {
    awk '
        /^ ? ? ?(```|~~~)/ { fenced = !fenced; next }
        fenced { next }
        {
            line = $0
            gsub(/`[^`]*`/, "", line)
            # [name]: path
            if (match(line, /^ ? ? ?\[[^]]*\]:[ \t]*[^ \t]+/)) {
                target = substr(line, RSTART, RLENGTH)
                sub(/^[^]]*\]:[ \t]*/, "", target)
                print NR "\t" target
                next
            }
            # [text](path) and ![alt](path), several on a line; the text may have begun on
            # an earlier line
            while (match(line, /\]\([^)]*\)/)) {
                link = substr(line, RSTART, RLENGTH)
                line = substr(line, RSTART + RLENGTH)
                sub(/^\]\(/, "", link)
                sub(/\)$/, "", link)
                sub(/^[ \t]*/, "", link)
                sub(/[ \t].*$/, "", link)
                sub(/^</, "", link)
                sub(/>$/, "", link)
                print NR "\t" link
            }
        }' "$1"
}

# The anchors FILE's headings make, one a line.
anchors() {
    awk '
        /^ ? ? ?(```|~~~)/ { fenced = !fenced; next }
        fenced { next }
        /^ ? ? ?#+([ \t]|$)/ {
            text = $0
            sub(/^ *#+[ \t]*/, "", text)
            sub(/[ \t]+#+[ \t]*$/, "", text)
            sub(/[ \t]+$/, "", text)
            gsub(/\]\([^)]*\)/, "]", text)
            text = tolower(text)
            slug = ""
            for (i = 1; i <= length(text); i++) {
                c = substr(text, i, 1)
                if (c == " ")
                    slug = slug "-"
                else if (c ~ /[a-z0-9_-]/ || c > "~")
                    slug = slug c
            }
            if (slug in seen)
                print slug "-" seen[slug]
            else
                print slug
            seen[slug]++
        }' "$1"
}

# The broken links of PAGE, one "PAGE:LINE: TARGET" a line.
check_page() {
    page=$1
    dir=$(dirname "$page")
    links "$page" | while IFS="$tab" read -r line target; do
        case $target in
        [A-Za-z]*:*)
            case ${target%%:*} in
            *[!A-Za-z0-9+.-]*) ;; # a colon later in a path: no scheme
            *) continue ;;
            esac
            ;;
        esac
        path=${target%%#*}
        anchor=
        case $target in
        *'#'*) anchor=${target#*#} ;;
        esac
        case $path in
        '') file=$page ;;
        /*) file=.$path ;; # from the top of the tree, as GitHub reads it
        *) file=$dir/$path ;;
        esac
        if [ ! -e "$file" ]; then
            echo "$page:$line: $target"
        elif [ -n "$anchor" ]; then
            if [ -d "$file" ] || ! anchors "$file" | grep -qxF -e "$anchor"; then
                echo "$page:$line: $target"
            fi
        fi
    done
}

tab=$(printf '\t')
set -- README.md
for page in docs/*.md; do
    [ -e "$page" ] && set -- "$@" "$page"
done

broken=
count=0
for page in "$@"; do
    if [ ! -e "$page" ]; then
        broken="$broken$page: missing
"
        continue
    fi
    count=$((count + $(links "$page" | wc -l)))
    found=$(check_page "$page")
    [ -z "$found" ] || broken="$broken$found
"
done

if [ -n "$broken" ]; then
    printf '%s' "$broken"
    exit 1
fi
echo "$count links in $# pages: all resolve"
