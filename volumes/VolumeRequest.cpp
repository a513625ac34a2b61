// The Volumes page's request.
