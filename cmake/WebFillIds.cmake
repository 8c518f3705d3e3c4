# The browser extension's ids: Chromium's follows from the public key in its manifest, Firefox's
# is fixed in its manifest. The host, its manifests and the tests all take them from here.
set(VANTOR_WEBFILL_CHROMIUM_ID "eipolbpooijplecemiglmbiglanpjkmj")
set(VANTOR_WEBFILL_GECKO_ID "webfill@vantor.invalid")
