#!/bin/sh
# Tells whether scripts/check-doc-links.sh finds what it must: a small tree of pages with links
# that resolve and links that do not, of every kind it reads, and the exact lines it must print
# for them; then the same tree mended, which it must pass.
#
# Usage: tests/check-doc-links-test.sh
set -eu
checker=$(cd "$(dirname "$0")/.." && pwd)/scripts/check-doc-links.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

mkdir -p "$tree/docs"
: > "$tree/LICENSE"
: > "$tree/docs/picture.png"
cat > "$tree/README.md" <<'EOF'
# The front page

![A picture](docs/picture.png) and [the licence](LICENSE), [a page](docs/page.md).
[A heading](docs/page.md#try-it-the-two-commands), [a repeated one](docs/page.md#notes-1)
[Here](#the-front-page), [away](https://example.org/#nowhere), [mail](mailto:a@example.org).
![Gone](docs/gone.png) and [gone too](docs/gone.md).
[No such heading](docs/page.md#no-such-heading) and [a folder](docs/#anchor).
`[not a link](nowhere.md)`

```sh
echo "[not a link either](nowhere.md)"
```

[reference]: docs/page.md#notes
[broken reference]: docs/nowhere.md
EOF
cat > "$tree/docs/page.md" <<'EOF'
# A page

## Try it: the two commands

## Notes

## Notes

Back [to the front](../README.md#the-front-page), [here](#a-page), [nowhere](#nowhere).
[From the top](/LICENSE) and [a title](picture.png "The picture"), [a link over two
lines](../README.md#gone).

```sh
# not a heading
```
EOF

status=0
output=$("$checker" "$tree") || status=$?
[ "$status" -eq 1 ] || fail "broken links: exit $status, not 1"
expected='README.md:6: docs/gone.png
README.md:6: docs/gone.md
README.md:7: docs/page.md#no-such-heading
README.md:7: docs/#anchor
README.md:15: docs/nowhere.md
docs/page.md:9: #nowhere
docs/page.md:11: ../README.md#gone'
[ "$output" = "$expected" ] || fail "broken links: printed
$output
instead of
$expected"

# Mended, the same tree passes.
sed -i -e '6,7d' -e '/broken reference/d' "$tree/README.md"
sed -i -e 's/, \[nowhere\](#nowhere)//' -e 's/#gone)/#the-front-page)/' "$tree/docs/page.md"
status=0
output=$("$checker" "$tree") || status=$?
[ "$status" -eq 0 ] || fail "mended tree: exit $status: $output"
case $output in
*"all resolve") ;;
*) fail "mended tree: $output" ;;
esac

# A usage error.
status=0
"$checker" "$tree" extra > /dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "two arguments: exit $status, not 2"

echo "check-doc-links: finds the broken links, passes the mended ones"
