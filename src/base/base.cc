// Anchor for the brx_base library; the helpers are mostly header-only.
