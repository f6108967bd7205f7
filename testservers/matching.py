"""How both servers match search keywords against names."""


def names_match(name, keywords, any_keyword):
    """Keywords match parts of a name, ignoring case: all of them, or any."""
    folded = name.casefold()
    hits = (keyword.casefold() in folded for keyword in keywords)
    return any(hits) if any_keyword else all(hits)
