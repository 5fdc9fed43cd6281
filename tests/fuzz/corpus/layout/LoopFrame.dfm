object LoopFrame: TLoopFrame
  inline Inner: TLoopFrame
  end
end
