#!/bin/sh
# Sends a signed disk image for notarization and waits for the verdict. `notarytool submit --wait`
# exits 0 whatever the verdict, so the verdict is read from its answer: anything but "Accepted"
# prints Apple's log of the reasons and fails. An accepted image gets its ticket stapled, so that
# Gatekeeper can check it offline, and both the image and the app inside it are assessed as a
# user's Mac would.
# Usage: packaging/macos/notarize.sh IMAGE.dmg KEYCHAIN_PROFILE
set -eu
image=$1
profile=$2

answer=$(xcrun notarytool submit "$image" --keychain-profile "$profile" --wait \
    --output-format json)
id=$(printf '%s' "$answer" | plutil -extract id raw -o - -)
verdict=$(printf '%s' "$answer" | plutil -extract status raw -o - -)
if [ "$verdict" != Accepted ]; then
    echo "Notarization of $image: $verdict" >&2
    xcrun notarytool log "$id" --keychain-profile "$profile" >&2
    exit 1
fi

xcrun stapler staple "$image"
xcrun stapler validate "$image"
spctl --assess --type open --context context:primary-signature -vv "$image"

mounted=$(mktemp -d)
hdiutil attach -nobrowse -readonly -mountpoint "$mounted" "$image" >/dev/null
trap 'hdiutil detach "$mounted" >/dev/null' EXIT
spctl --assess --type exec -vv "$mounted"/*.app
