#!/bin/sh
# One page of the manual as HTML for the Windows release, where the pages and their pictures
# sit in one folder, manual\: cmark (Debian's) makes the page; links to other pages lead to their
# .html, the front page is index.html, and what the pages take from docs/ is beside them. Each
# heading gets the id that links to it name, as the pages' links are written for GitHub.
#   packaging/windows/markdown-to-html.sh PAGE.md OUT.html
set -eu
page=$1
out=$2
title=$(sed -n 's/^# //p' "$page" | head -n 1)
{
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>%s</title>\n' "$title"
    printf '<style>body { font-family: sans-serif; max-width: 52em; margin: auto; padding: 1em }'
    printf ' code, pre { background: #f2f2f2 } img { max-width: 100%% }</style>\n</head><body>\n'
    cmark "$page" | sed -e 's#\(href\|src\)="\(\.\./\)\{0,1\}README\.md#\1="index.html#g' \
        -e 's#\(href\|src\)="\(\.\./\)\{0,1\}\(CHANGELOG\)\.md#\1="changelog.html#g' \
        -e 's#\(href\|src\)="\(\.\./\)\{0,1\}LICENSE"#\1="../LICENSE.txt"#g' \
        -e 's#\(href\|src\)="docs/#\1="#g' -e 's#\(href="[^":]*\)\.md\([#"]\)#\1.html\2#g' |
        awk '/^<h[1-6]>.*<\/h[1-6]>$/ {
            slug = $0
            gsub(/<[^>]*>/, "", slug)
            slug = tolower(slug)
            gsub(/[^a-z0-9 _-]/, "", slug)
            gsub(/ /, "-", slug)
            sub(/^<h[1-6]/, "& id=\"" slug "\"")
        }
        { print }'
    printf '</body></html>\n'
} > "$out"
