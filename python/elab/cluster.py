"""Many series on a cluster of the package distributed: prepare_on()."""

from . import many as _many


def prepare_on(client, prepare, error_class, sources, errors="collect", **answers):
    """prepare_many() with each call on the client's workers: the same
    names, Results and errors, a refused source never costing the others."""
    import distributed
    if errors not in ("collect", "raise"):
        raise ValueError("errors is 'collect' or 'raise', not %r" % (errors,))
    # A series read once stays in this process: each worker reads its own.
    triples = _many._each_symbol(_many._named_sources(sources), answers, read_once=False)
    # pure=False: two sources alike are still two calls, each under its name.
    futures = [client.submit(prepare, source, pure=False, **dict(answers, **keywords))
               for _, source, keywords in triples]
    distributed.wait(futures)
    outcomes = {}
    for (name, _, _), future in zip(triples, futures):
        outcome = future.result() if future.status == "finished" else future.exception()
        if isinstance(outcome, Exception) and not isinstance(outcome, _many.refusals(error_class)):
            raise outcome
        outcomes[name] = outcome
    return _many.ended(error_class, triples, outcomes, errors)
